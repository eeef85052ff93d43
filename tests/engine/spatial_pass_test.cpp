// Spatial pass: column arrangement, vertical and horizontal decomposition
// against direct kernel calls, reconstruction, coring fold-back, colour
// adjustment, pad columns, slot isolation and the work split.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/d4_kernels.h"
#include "engine/dual_phase.h"
#include "engine/spatial_pass.h"
#include "support/coring_parameters.h"
#include "support/kernel_levels.h"
#include "test_work_planes.h"

namespace {

constexpr int32_t kW = 800;
constexpr int32_t kH = 512;
constexpr int32_t kN = 5;
constexpr int32_t kWidth = 720;   // padded frame width
constexpr int32_t kHeight = 480;  // padded frame height
constexpr int32_t kStride = 736;  // max_w
constexpr int32_t kLumaLeft = (kW - kWidth) / 2;    // 40
constexpr int32_t kChromaLeft = (kW - kWidth) / 4;  // 20
constexpr uint32_t kSentinelBits = 0x7FC0DEADu;

// A 16-byte aligned line of floats.
class Line {
 public:
  explicit Line(int32_t n) : storage_(n + 4) {
    const auto address = reinterpret_cast<uintptr_t>(storage_.data());
    data_ = reinterpret_cast<float*>((address + 15) & ~uintptr_t{15});
    size_ = n;
  }
  float* data() { return data_; }
  const float* data() const { return data_; }
  float& operator[](int32_t i) { return data_[i]; }
  float operator[](int32_t i) const { return data_[i]; }
  int32_t size() const { return size_; }

 private:
  std::vector<float> storage_;
  float* data_;
  int32_t size_;
};

bool same_bits(float a, float b) { return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b); }

// A deterministic picture: smooth structures plus pseudo-random texture.
std::vector<PIXEL_YC> generate_frame() {
  std::vector<PIXEL_YC> frame(static_cast<size_t>(kStride) * kHeight);
  uint32_t state = 12345;
  auto noise = [&state](int amplitude) {
    state = state * 1664525u + 1013904223u;
    return static_cast<int>((state >> 8) % (2 * amplitude + 1)) - amplitude;
  };
  for (int32_t y = 0; y < kHeight; ++y)
    for (int32_t x = 0; x < kStride; ++x) {
      PIXEL_YC& p = frame[y * kStride + x];
      p.y = static_cast<int16_t>(2000 + 900 * std::sin(x * 0.05) * std::cos(y * 0.07) +
                                 (x / 90 + y / 60) % 2 * 400 + noise(40));
      p.cb = static_cast<int16_t>(600 * std::sin(x * 0.03 + y * 0.02) + noise(30));
      p.cr = static_cast<int16_t>(-300 + 500 * std::cos(y * 0.04) + noise(30));
    }
  return frame;
}

const std::vector<PIXEL_YC>& test_frame() {
  static const std::vector<PIXEL_YC> frame = generate_frame();
  return frame;
}

FilterParameters plain_parameters() {
  FilterParameters p;
  p.gain_cb = 1.0f;
  p.gain_cr = 1.0f;
  p.hue_sin = 0.0f;
  p.hue_cos = 1.0f;
  return p;
}

struct SpatialFixture {
  TestWorkPlanes buffers{kW, kH, kN};
  const std::vector<PIXEL_YC>& frame = test_frame();
  FilterParameters params = plain_parameters();
  SpatialJob job;

  SpatialFixture() {
    job.src = frame.data();
    job.stride = kStride;
    job.w = kWidth;
    job.h = kHeight;
    job.slot = 2;
    job.kernels = &arithmetic_kernels(1);
    job.params = &params;
    job.planes = &buffers.planes;
  }

  void run(int thread_num = 1) {
    // Reverse order: no worker may depend on another having run first.
    for (int t = thread_num - 1; t >= 0; --t) spatial_pass_worker(t, thread_num, job);
  }

  float work(int32_t row, int32_t column) const {
    return buffers.planes.LumaWorkPlane[row * kW + column];
  }
};

// The whole pass on one worker with neutral settings (no coring, unit gains,
// no hue rotation, whole frames), slot 2. Run once and shared by the tests
// that only read its results.
const SpatialFixture& plain_run() {
  static SpatialFixture* fixture = [] {
    auto* f = new SpatialFixture;
    f->run(1);
    return f;
  }();
  return *fixture;
}

// Positions [first, first + length) of slot s of a slot plane.
Line read_slot(const float* plane, int64_t first, int32_t length, int32_t slot) {
  Line line(length);
  for (int32_t i = 0; i < length; ++i) line[i] = plane[slot_index(first + i, slot, kN)];
  return line;
}

// The frame's column as the pass must arrange it: whole frames with (H-h)/2
// edge copies at each end; fields one after the other, each with (H-h)/4.
template <typename Sample>
Line arranged_column(bool field_mode, Sample sample) {
  Line line(kH);
  int32_t i = 0;
  auto put_run = [&](int32_t first_row, int32_t rows, int32_t row_step, int32_t pad) {
    const int32_t last_row = first_row + (rows - 1) * row_step;
    for (int32_t k = 0; k < pad; ++k) line[i++] = sample(first_row);
    for (int32_t k = 0; k < rows; ++k) line[i++] = sample(first_row + k * row_step);
    for (int32_t k = 0; k < pad; ++k) line[i++] = sample(last_row);
  };
  if (field_mode) {
    put_run(0, kHeight / 2, 2, (kH - kHeight) / 4);
    put_run(1, kHeight / 2, 2, (kH - kHeight) / 4);
  } else {
    put_run(0, kHeight, 1, (kH - kHeight) / 2);
  }
  EXPECT_EQ(i, kH);
  return line;
}

Line luma_column(const SpatialFixture& f, int32_t x) {
  return arranged_column(f.params.field_mode,
                         [&](int32_t row) { return float(f.frame[row * kStride + x].y); });
}

// Adjusted chroma of image chroma column k, written out in the test's own words.
Line chroma_column(const SpatialFixture& f, int32_t k, bool cr) {
  const FilterParameters& p = f.params;
  return arranged_column(p.field_mode, [&](int32_t row) {
    const PIXEL_YC& px = f.frame[row * kStride + 2 * k];
    const float cb = float(px.cb) * p.gain_cb;
    const float crv = float(px.cr) * p.gain_cr;
    return cr ? (cb * p.hue_sin) + (crv * p.hue_cos) : (cb * p.hue_cos) - (crv * p.hue_sin);
  });
}

// The three dual-phase levels without coring, straight from the kernels.
void direct_dual_phase(const Line& x, int32_t level, Line& A, Line& B) {
  const int32_t n = x.size();
  Line input(n), upsampled(n);
  std::copy(x.data(), x.data() + n, input.data());
  for (int32_t length = n; length >= n / 4; length /= 2) {
    const EngineKernels& k = arithmetic_kernels(level);
    k.analysis(input.data(), length, B.data());
    k.odd_upsample(B.data(), length / 2, upsampled.data());
    k.analysis(upsampled.data(), length, A.data());
    std::copy(A.data(), A.data() + length / 2, input.data());
  }
}

// Level by level from the coarsest: synthesise set A's pair, take the odd-phase
// low band of the result, synthesise it with set B's detail.
Line rebuild(const Line& A, const Line& B, int32_t level) {
  const int32_t n = A.size();
  Line low(n), pair(n), wide(n), b_low(n);
  std::copy(A.data(), A.data() + n / 8, low.data());
  for (int32_t m = n / 8; m <= n / 2; m *= 2) {
    std::copy(low.data(), low.data() + m, pair.data());
    std::copy(A.data() + m, A.data() + 2 * m, pair.data() + m);
    const EngineKernels& k = arithmetic_kernels(level);
    k.synthesis(pair.data(), m, wide.data());
    k.odd_lowpass(wide.data(), 2 * m, b_low.data());
    std::copy(B.data() + m, B.data() + 2 * m, b_low.data() + m);
    k.synthesis(b_low.data(), m, low.data());
  }
  return low;
}

float max_abs(const Line& a) {
  float m = 0;
  for (int32_t i = 0; i < a.size(); ++i) m = std::max(m, std::fabs(a[i]));
  return m;
}

::testing::AssertionResult bit_equal(const Line& a, const Line& b) {
  for (int32_t i = 0; i < a.size(); ++i)
    if (!same_bits(a[i], b[i]))
      return ::testing::AssertionFailure() << "differ at " << i << ": " << a[i] << " vs " << b[i];
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult near(const Line& a, const Line& b, float tolerance) {
  for (int32_t i = 0; i < a.size(); ++i)
    if (!(std::fabs(a[i] - b[i]) <= tolerance))
      return ::testing::AssertionFailure() << "differ at " << i << ": " << a[i] << " vs " << b[i];
  return ::testing::AssertionSuccess();
}

Line work_plane_column(const SpatialFixture& f, int32_t column) {
  Line line(kH);
  for (int32_t k = 0; k < kH; ++k) line[k] = f.work(k, column);
  return line;
}

Line work_plane_row(const SpatialFixture& f, int32_t row) {
  Line line(kW);
  std::copy(f.buffers.planes.LumaWorkPlane + row * kW,
            f.buffers.planes.LumaWorkPlane + (row + 1) * kW, line.data());
  return line;
}

void expect_columns_are_one_analysis(const SpatialFixture& f) {
  const bool field_mode = f.params.field_mode;
  for (int32_t x : {0, 1, 357, kWidth - 1}) {
    const Line column = luma_column(f, x);
    Line expected(kH);
    arithmetic_kernels(1).analysis(column.data(), kH, expected.data());
    EXPECT_TRUE(bit_equal(work_plane_column(f, kLumaLeft + x), expected))
        << "column " << x << (field_mode ? " (fields)" : " (frame)");
  }
}

TEST(SpatialLumaVertical, EachColumnIsOneAnalysisOfItsArrangedLine) {
  expect_columns_are_one_analysis(plain_run());
  SpatialFixture fields;
  fields.params.field_mode = true;
  luma_spatial_pass(fields.job);
  expect_columns_are_one_analysis(fields);
}

TEST(SpatialLumaVertical, PadColumnsRepeatTheEdgeColumns) {
  const SpatialFixture& f = plain_run();
  const Line first = work_plane_column(f, kLumaLeft);
  const Line last = work_plane_column(f, kLumaLeft + kWidth - 1);
  for (int32_t c = 0; c < kLumaLeft; ++c) EXPECT_TRUE(bit_equal(work_plane_column(f, c), first)) << c;
  for (int32_t c = kLumaLeft + kWidth; c < kW; ++c)
    EXPECT_TRUE(bit_equal(work_plane_column(f, c), last)) << c;
}

TEST(SpatialLumaVertical, FoldBackWithoutCoringEqualsOneLevelUpToRounding) {
  const SpatialFixture& single = plain_run();
  SpatialFixture folded;
  folded.params.w2dy_on = true;  // mask thresholds 0: no pair is ever smooth
  for (int j = 0; j < 3; ++j) folded.params.w2dy_core_threshold[j] = 1000.0f;
  luma_spatial_pass(folded.job);
  float largest_difference = 0;
  for (int32_t c = 0; c < kW; ++c) {
    const Line a = work_plane_column(single, c);
    const Line b = work_plane_column(folded, c);
    EXPECT_TRUE(near(a, b, 4e-3f)) << "column " << c;
    for (int32_t k = 0; k < kH; ++k) largest_difference = std::max(largest_difference, std::fabs(a[k] - b[k]));
  }
  EXPECT_GT(largest_difference, 0.0f) << "the fold-back path was not taken";
}

// The level-1 detail of the fold-back is set B's level-1 detail, which is the
// plain analysis' high band before coring: each value is kept or zeroed.
TEST(SpatialLumaVertical, CoredHighBandKeepsOrZeroesEachValue) {
  const SpatialFixture& plain = plain_run();
  SpatialFixture cored;
  enable_coring(cored.params);
  luma_spatial_pass(cored.job);
  int zeroed = 0;
  for (int32_t k = kH / 2; k < kH; ++k)
    for (int32_t c = 0; c < kW; ++c) {
      const float kept = plain.work(k, c);
      const float value = cored.work(k, c);
      if (std::bit_cast<uint32_t>(value) == 0u && kept != 0.0f) {
        ++zeroed;
        EXPECT_LE(std::fabs(kept), 80.0f) << "cored above the level-1 core threshold";
      } else {
        ASSERT_TRUE(same_bits(value, kept)) << "row " << k << ", column " << c;
      }
    }
  // Level-1 coring needs both phases' details in [t/2, t) with low curvature,
  // which the texture of the test picture offers at about a hundred places.
  EXPECT_GT(zeroed, 20) << "the coring had nothing to do";
}

TEST(SpatialLumaHorizontal, StoredRowsAreTheDualPhaseSetsOfTheWorkPlaneRow) {
  SpatialFixture level2;
  level2.job.kernels = &arithmetic_kernels(2);
  luma_spatial_pass(level2.job);
  for (int32_t level : {1, 2}) {
    const SpatialFixture& f = level == 1 ? plain_run() : level2;
    for (int32_t r : {0, 1, 200, kH / 2, kH - 1}) {
      Line A(kW), B(kW);
      direct_dual_phase(work_plane_row(f, r), level, A, B);
      const int64_t first = static_cast<int64_t>(r) * kW;
      EXPECT_TRUE(bit_equal(read_slot(f.buffers.planes.LumaSlotPlanesA, first, kW, 2), A))
          << "set A, row " << r << ", level " << level;
      EXPECT_TRUE(bit_equal(read_slot(f.buffers.planes.LumaSlotPlanesB, first, kW, 2), B))
          << "set B, row " << r << ", level " << level;
    }
  }
}

TEST(SpatialLumaHorizontal, LevelByLevelSynthesisRebuildsTheRow) {
  const SpatialFixture& f = plain_run();
  for (int32_t r : {0, 77, kH / 2 - 1, kH / 2, kH - 1}) {
    const int64_t first = static_cast<int64_t>(r) * kW;
    const Line A = read_slot(f.buffers.planes.LumaSlotPlanesA, first, kW, 2);
    const Line B = read_slot(f.buffers.planes.LumaSlotPlanesB, first, kW, 2);
    const Line row = work_plane_row(f, r);
    EXPECT_TRUE(near(rebuild(A, B, 1), row, 2e-6f * std::max(max_abs(row), 1.0f) + 1e-4f))
        << "row " << r;
  }
}

TEST(SpatialChroma, StoredColumnsAreTheDualPhaseSetsOfTheAdjustedColumn) {
  for (bool field_mode : {false, true}) {
    SpatialFixture f;
    f.params.field_mode = field_mode;
    f.params.gain_cb = 1.25f;
    f.params.gain_cr = 0.8f;
    f.params.hue_sin = 0.309017f;
    f.params.hue_cos = 0.951057f;
    chroma_spatial_pass(f.job);
    const WorkPlanes& p = f.buffers.planes;
    for (int32_t k : {0, 5, kWidth / 2 - 1}) {
      for (bool cr : {false, true}) {
        Line A(kH), B(kH);
        direct_dual_phase(chroma_column(f, k, cr), 1, A, B);
        const int64_t first = static_cast<int64_t>(kChromaLeft + k) * kH;
        EXPECT_TRUE(bit_equal(read_slot(cr ? p.CrSlotPlanesA : p.CbSlotPlanesA, first, kH, 2), A))
            << (cr ? "Cr" : "Cb") << " set A, column " << k << (field_mode ? " (fields)" : "");
        EXPECT_TRUE(bit_equal(read_slot(cr ? p.CrSlotPlanesB : p.CbSlotPlanesB, first, kH, 2), B))
            << (cr ? "Cr" : "Cb") << " set B, column " << k << (field_mode ? " (fields)" : "");
      }
    }
  }
}

TEST(SpatialChroma, LevelByLevelSynthesisRebuildsTheColumn) {
  SpatialFixture f;
  f.params.field_mode = true;
  cb_spatial_pass(f.job);
  const int32_t k = 123;
  const int64_t first = static_cast<int64_t>(kChromaLeft + k) * kH;
  const Line column = chroma_column(f, k, false);
  const Line rebuilt = rebuild(read_slot(f.buffers.planes.CbSlotPlanesA, first, kH, 2),
                               read_slot(f.buffers.planes.CbSlotPlanesB, first, kH, 2), 1);
  EXPECT_TRUE(near(rebuilt, column, 2e-6f * max_abs(column) + 1e-4f));
}

TEST(SpatialChroma, PadColumnsRepeatTheEdgeColumns) {
  const SpatialFixture& f = plain_run();
  const WorkPlanes& p = f.buffers.planes;
  for (const float* plane : {p.CbSlotPlanesA, p.CbSlotPlanesB, p.CrSlotPlanesA, p.CrSlotPlanesB}) {
    const Line first = read_slot(plane, int64_t{kChromaLeft} * kH, kH, 2);
    const Line last = read_slot(plane, int64_t{kChromaLeft + kWidth / 2 - 1} * kH, kH, 2);
    for (int32_t c = 0; c < kChromaLeft; ++c)
      EXPECT_TRUE(bit_equal(read_slot(plane, int64_t{c} * kH, kH, 2), first)) << c;
    for (int32_t c = kChromaLeft + kWidth / 2; c < kW / 2; ++c)
      EXPECT_TRUE(bit_equal(read_slot(plane, int64_t{c} * kH, kH, 2), last)) << c;
  }
}

bool planes_bit_equal(const float* a, const float* b, size_t count) {
  return std::memcmp(a, b, count * sizeof(float)) == 0;
}

TEST(SpatialChroma, GainsAndHueChangeChromaOnly) {
  const SpatialFixture& neutral = plain_run();
  SpatialFixture adjusted;
  adjusted.params.gain_cb = 1.5f;
  adjusted.params.gain_cr = 0.5f;
  adjusted.params.hue_sin = 0.5f;
  adjusted.params.hue_cos = 0.866025f;
  adjusted.run(1);
  const WorkPlanes& a = neutral.buffers.planes;
  const WorkPlanes& b = adjusted.buffers.planes;
  const size_t luma = neutral.buffers.luma_slot_plane_size();
  const size_t chroma = neutral.buffers.chroma_slot_plane_size();
  EXPECT_TRUE(planes_bit_equal(a.LumaSlotPlanesA, b.LumaSlotPlanesA, luma));
  EXPECT_TRUE(planes_bit_equal(a.LumaSlotPlanesB, b.LumaSlotPlanesB, luma));
  EXPECT_FALSE(planes_bit_equal(a.CbSlotPlanesA, b.CbSlotPlanesA, chroma));
  EXPECT_FALSE(planes_bit_equal(a.CrSlotPlanesB, b.CrSlotPlanesB, chroma));
}

void fill_sentinel(float* plane, size_t count) {
  std::fill(plane, plane + count, std::bit_cast<float>(kSentinelBits));
}

// Every element of slot `slot` was written, every element of the others kept.
::testing::AssertionResult only_slot_written(const float* plane, size_t count, int32_t slot) {
  for (size_t e = 0; e < count; ++e) {
    const bool in_slot = static_cast<int32_t>((e / kSlotChunk) % kN) == slot;
    const bool sentinel = std::bit_cast<uint32_t>(plane[e]) == kSentinelBits;
    if (sentinel == in_slot)
      return ::testing::AssertionFailure() << "element " << e << (in_slot ? " not written" : " overwritten");
  }
  return ::testing::AssertionSuccess();
}

TEST(SpatialSlots, OnlyTheGivenSlotIsWritten) {
  for (int32_t slot : {0, 3}) {
    SpatialFixture f;
    f.job.slot = slot;
    enable_coring(f.params);
    const WorkPlanes& p = f.buffers.planes;
    const size_t luma = f.buffers.luma_slot_plane_size();
    const size_t chroma = f.buffers.chroma_slot_plane_size();
    for (float* plane : {p.LumaSlotPlanesA, p.LumaSlotPlanesB}) fill_sentinel(plane, luma);
    for (float* plane : {p.CbSlotPlanesA, p.CbSlotPlanesB, p.CrSlotPlanesA, p.CrSlotPlanesB})
      fill_sentinel(plane, chroma);
    f.run(1);
    for (const float* plane : {p.LumaSlotPlanesA, p.LumaSlotPlanesB})
      EXPECT_TRUE(only_slot_written(plane, luma, slot)) << "luma, slot " << slot;
    for (const float* plane : {p.CbSlotPlanesA, p.CbSlotPlanesB, p.CrSlotPlanesA, p.CrSlotPlanesB})
      EXPECT_TRUE(only_slot_written(plane, chroma, slot)) << "chroma, slot " << slot;
  }
}

void expect_same_results(const SpatialFixture& a, const SpatialFixture& b, const char* what) {
  const WorkPlanes& p = a.buffers.planes;
  const WorkPlanes& q = b.buffers.planes;
  const size_t luma = a.buffers.luma_slot_plane_size();
  const size_t chroma = a.buffers.chroma_slot_plane_size();
  EXPECT_TRUE(planes_bit_equal(p.LumaSlotPlanesA, q.LumaSlotPlanesA, luma)) << what;
  EXPECT_TRUE(planes_bit_equal(p.LumaSlotPlanesB, q.LumaSlotPlanesB, luma)) << what;
  EXPECT_TRUE(planes_bit_equal(p.CbSlotPlanesA, q.CbSlotPlanesA, chroma)) << what;
  EXPECT_TRUE(planes_bit_equal(p.CbSlotPlanesB, q.CbSlotPlanesB, chroma)) << what;
  EXPECT_TRUE(planes_bit_equal(p.CrSlotPlanesA, q.CrSlotPlanesA, chroma)) << what;
  EXPECT_TRUE(planes_bit_equal(p.CrSlotPlanesB, q.CrSlotPlanesB, chroma)) << what;
}

void clear_slot_planes(const SpatialFixture& f) {
  const WorkPlanes& p = f.buffers.planes;
  for (float* plane : {p.LumaSlotPlanesA, p.LumaSlotPlanesB})
    std::fill(plane, plane + f.buffers.luma_slot_plane_size(), 0.0f);
  for (float* plane : {p.CbSlotPlanesA, p.CbSlotPlanesB, p.CrSlotPlanesA, p.CrSlotPlanesB})
    std::fill(plane, plane + f.buffers.chroma_slot_plane_size(), 0.0f);
}

// The split decides only who does the work, never the result. Fields, anime
// mode and coring of both kinds take every path of the pass.
TEST(SpatialWorkSplit, EveryWorkerCountGivesTheSameSlots) {
  SpatialFixture reference;
  reference.params.field_mode = true;
  reference.params.anime_mode = true;
  enable_coring(reference.params);
  reference.run(1);
  SpatialFixture f;
  f.params = reference.params;
  for (int threads = 2; threads <= 5; ++threads) {
    clear_slot_planes(f);
    f.run(threads);
    expect_same_results(reference, f, (std::to_string(threads) + " workers").c_str());
  }
}

// Workers that run at the same time must not share line buffers or scratch
// vectors: each plane's pass touches only its own.
TEST(SpatialWorkSplit, EachPlaneUsesOnlyItsOwnScratch) {
  struct Case {
    int thread_id;
    int thread_num;
    bool luma, cb, cr;
  };
  const Case cases[] = {{0, 4, true, false, false}, {1, 4, false, false, false},
                        {2, 4, false, true, false}, {3, 4, false, false, true},
                        {1, 3, false, true, false}, {2, 3, false, false, true},
                        {1, 2, false, true, true},  {4, 5, false, false, false}};
  SpatialFixture f;
  enable_coring(f.params);
  const WorkPlanes& p = f.buffers.planes;
  for (const Case& c : cases) {
    for (int i = 0; i < 4; ++i) {
      fill_sentinel(p.LumaLineBuffers[i], kW);
      fill_sentinel(p.CbLineBuffers[i], kH);
      fill_sentinel(p.CrLineBuffers[i], kH);
    }
    for (int i = 0; i < 6; ++i) fill_sentinel(p.ScratchVectors[i], 4);
    fill_sentinel(p.CbSlotPlanesA, kSlotChunk * kN);
    fill_sentinel(p.LumaSlotPlanesB, kSlotChunk * kN);
    spatial_pass_worker(c.thread_id, c.thread_num, f.job);
    auto touched = [](const float* v, int32_t count = 4) {
      for (int32_t i = 0; i < count; ++i)
        if (std::bit_cast<uint32_t>(v[i]) != kSentinelBits) return true;
      return false;
    };
    const std::string which = std::to_string(c.thread_id) + " of " + std::to_string(c.thread_num);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(touched(p.LumaLineBuffers[i], kW), c.luma) << which << ", line " << i;
      EXPECT_EQ(touched(p.CbLineBuffers[i], kH), c.cb) << which << ", line " << i;
      EXPECT_EQ(touched(p.CrLineBuffers[i], kH), c.cr) << which << ", line " << i;
    }
    for (int i : {0, 1, 2}) EXPECT_FALSE(touched(p.ScratchVectors[i])) << which;
    EXPECT_EQ(touched(p.ScratchVectors[3]), c.luma) << which;
    EXPECT_EQ(touched(p.ScratchVectors[4]), c.cb) << which;
    EXPECT_EQ(touched(p.ScratchVectors[5]), c.cr) << which;
    // Position 0 of the job's slot.
    const int64_t first = slot_index(0, f.job.slot, kN);
    EXPECT_EQ(touched(p.CbSlotPlanesA + first), c.cb) << which;
    EXPECT_EQ(touched(p.LumaSlotPlanesB + first), c.luma) << which;
  }
}

TEST(DualPhase, CoringNeverTouchesTheCoarsestLowBand) {
  Line x(kH);
  for (int32_t i = 0; i < kH; ++i) x[i] = 100.0f * std::sin(i * 0.3f) + 7.0f * (i % 5);
  Line A(kH), B(kH);
  direct_dual_phase(x, 1, A, B);
  // Chroma-like coring that finds every pair smooth and zeroes it.
  Line X(kH), Y(kH), Z(kH), mask(kH), half(4);
  CoringSettings coring;
  coring.on = true;
  for (int j = 0; j < 3; ++j) {
    coring.mask_threshold[j] = 1e30f;
    coring.core_threshold[j] = 1e30f;
  }
  coring.mask_line = mask.data();
  coring.half_vector = half.data();
  dual_phase_decompose(x.data(), kH, X.data(), Y.data(), Z.data(), coring,
                       arithmetic_kernels(1));
  for (int32_t i = 0; i < kH / 8; ++i) {
    EXPECT_TRUE(same_bits(X[i], A[i])) << i;
    EXPECT_TRUE(same_bits(Y[i], B[i])) << i;
  }
  for (int32_t i = kH / 8; i < kH; ++i) {
    EXPECT_EQ(std::bit_cast<uint32_t>(X[i]), 0u) << i;
    EXPECT_EQ(std::bit_cast<uint32_t>(Y[i]), 0u) << i;
  }
}

}  // namespace
