// Output pass: luma conversion and rounding, chroma gamma lookup, frame and
// field placement, the written area and the work split.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/filter_parameters.h"
#include "engine/output_pass.h"
#include "support/kernel_levels.h"
#include "test_work_planes.h"

namespace {

constexpr int32_t kW = 800;
constexpr int32_t kH = 512;
constexpr int32_t kWidth = 720;   // padded frame width
constexpr int32_t kHeight = 480;  // padded frame height
constexpr int32_t kStride = 736;  // max_w: wider than the frame
constexpr int32_t kRows = kHeight + 3;
constexpr int16_t kGuard = 30000;  // outside -8192 .. 8192: never produced

// A plane value that tells plane row and column apart (integers, so that the
// conversion is exact for them).
float luma_code(int32_t row, int32_t column) {
  return static_cast<float>((row * 131 + column * 7) % 8001);
}

struct OutputFixture {
  TestWorkPlanes buffers{kW, kH, 1};
  std::vector<PIXEL_YC> frame;
  std::vector<int16_t> lut;
  OutputJob job;

  OutputFixture() : frame(static_cast<size_t>(kStride) * kRows, PIXEL_YC{kGuard, kGuard, kGuard}),
                    lut(kGammaLutEntries) {
    const WorkPlanes& p = buffers.planes;
    for (int32_t q = 0; q < kH; ++q)
      for (int32_t c = 0; c < kW; ++c) p.LumaWorkPlane[q * kW + c] = luma_code(q, c);
    // Cb carries the plane row, Cr the chroma line.
    for (int32_t line = 0; line < kW / 2; ++line)
      for (int32_t q = 0; q < kH; ++q) {
        p.CbOutPlane[line * kH + q] = static_cast<int16_t>(q);
        p.CrOutPlane[line * kH + q] = static_cast<int16_t>(line);
      }
    for (int i = 0; i < kGammaLutEntries; ++i) lut[i] = static_cast<int16_t>(i);
    job.dst = frame.data();
    job.stride = kStride;
    job.w = kWidth;
    job.h = kHeight;
    job.gamma_lut = lut.data();
    job.planes = &buffers.planes;
    job.kernels = &highest_kernels();
  }

  const PIXEL_YC& pixel(int32_t x, int32_t y) const { return frame[y * kStride + x]; }

  void run_all_workers(int thread_num) {
    // Reverse order: no worker may depend on another having run first.
    for (int t = thread_num - 1; t >= 0; --t) output_pass_worker(t, thread_num, job);
  }

  // Sets the luma value that output pixel x of row 0 converts, in whole-frame mode.
  void set_row0_luma(int32_t x, float v) {
    buffers.planes.LumaWorkPlane[(kH - kHeight) / 2 * kW + (kW - kWidth) / 2 + x] = v;
  }
};

bool is_guard(const PIXEL_YC& p) { return p.y == kGuard && p.cb == kGuard && p.cr == kGuard; }

TEST(OutputPassConversion, AddsHalfClampsAndTruncatesTowardZero) {
  OutputFixture f;
  const float inputs[] = {100.4f, 100.5f, -100.6f, 8191.5f, 9000.0f, -8192.5f, -9000.0f, -8192.0f,
                          -0.4f};
  const int16_t expected[] = {100, 101, -100, 8192, 8192, -8192, -8192, -8191, 0};
  for (int i = 0; i < 9; ++i) f.set_row0_luma(i, inputs[i]);
  output_rows(f.job, 0, 0, 0, 2);  // half-relative row 0 only: output row 0
  for (int i = 0; i < 9; ++i) EXPECT_EQ(f.pixel(i, 0).y, expected[i]) << "input " << inputs[i];
}

TEST(OutputPassConversion, AppliesGainThenOffset) {
  OutputFixture f;
  f.job.gain_y = 1.5f;
  f.job.offset_y = -3.25f;
  f.set_row0_luma(0, 10.0f);   // 15 - 3.25 + 0.5 = 12.25
  f.set_row0_luma(1, -10.0f);  // -15 - 3.25 + 0.5 = -17.75
  f.set_row0_luma(2, 6000.0f); // 9000 - 2.75: clamped
  output_rows(f.job, 0, 0, 0, 2);
  EXPECT_EQ(f.pixel(0, 0).y, 12);
  EXPECT_EQ(f.pixel(1, 0).y, -17);
  EXPECT_EQ(f.pixel(2, 0).y, 8192);
}

TEST(OutputPassConversion, NanLumaEndsAtLowerBound) {
  OutputFixture f;
  f.set_row0_luma(0, std::nanf(""));
  output_rows(f.job, 0, 0, 0, 2);
  EXPECT_EQ(f.pixel(0, 0).y, -8192);
}

// Puts `sample` into the Cb plane and its negation into the Cr plane at the
// position read by pixels 2i and 2i + 1 of row 0.
void set_row0_chroma(OutputFixture& f, int32_t i, int16_t sample) {
  const int32_t at = ((kW - kWidth) / 4 + i) * kH + (kH - kHeight) / 2;
  f.buffers.planes.CbOutPlane[at] = sample;
  f.buffers.planes.CrOutPlane[at] = static_cast<int16_t>(-sample);
}

TEST(OutputPassChroma, GammaIndexIsClampedToTheTable) {
  struct Case {
    int16_t sample;
    int16_t entry;
  };
  const Case cases[] = {{0, 4095},    {1, 4096},  {4094, 8189}, {4095, 8190}, {4096, 8190},
                        {8192, 8190}, {-4094, 1}, {-4095, 0},   {-4096, 0},   {-8192, 0}};
  OutputFixture f;
  f.lut[8191] = -1;  // never read
  f.job.chroma_gamma = true;
  for (int32_t i = 0; i < 10; ++i) set_row0_chroma(f, i, cases[i].sample);
  output_rows(f.job, 0, 0, 0, 2);
  for (int32_t i = 0; i < 10; ++i) {
    const Case& c = cases[i];
    // The Cr plane holds the negated sample: the table is read symmetrically.
    const int16_t negated_entry = static_cast<int16_t>(8190 - c.entry);
    for (int32_t x = 2 * i; x < 2 * i + 2; ++x) {
      EXPECT_EQ(f.pixel(x, 0).cb, c.entry) << "sample " << c.sample;
      EXPECT_EQ(f.pixel(x, 0).cr, negated_entry) << "sample " << -c.sample;
    }
  }
}

TEST(OutputPassChroma, WithoutGammaSamplesPassUnchanged) {
  const int16_t samples[] = {8192, -8192, 4095, -1};
  OutputFixture f;
  for (int32_t i = 0; i < 4; ++i) set_row0_chroma(f, i, samples[i]);
  output_rows(f.job, 0, 0, 0, 2);
  for (int32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(f.pixel(2 * i, 0).cb, samples[i]);
    EXPECT_EQ(f.pixel(2 * i + 1, 0).cr, -samples[i]);
  }
}

TEST(OutputPassPlacement, WholeFramesAreCentred) {
  OutputFixture f;
  f.run_all_workers(1);
  // Pixel 0 of row 0: luma column 40 of plane row 16, chroma line 20.
  EXPECT_EQ(f.pixel(0, 0).y, luma_code(16, 40));
  EXPECT_EQ(f.pixel(0, 0).cb, 16);
  EXPECT_EQ(f.pixel(0, 0).cr, 20);
  for (int32_t y = 0; y < kHeight; ++y) {
    const int32_t q = 16 + y;
    for (int32_t x = 0; x < kWidth; ++x) {
      const PIXEL_YC& p = f.pixel(x, y);
      ASSERT_EQ(p.y, luma_code(q, 40 + x)) << x << "," << y;
      ASSERT_EQ(p.cb, q) << x << "," << y;
      ASSERT_EQ(p.cr, 20 + x / 2) << x << "," << y;
    }
  }
}

TEST(OutputPassPlacement, FieldsAreStackedInThePlane) {
  OutputFixture f;
  f.job.field_mode = true;
  f.run_all_workers(1);
  EXPECT_EQ(f.pixel(0, 0).cb, 8);
  EXPECT_EQ(f.pixel(0, 1).cb, 264);
  EXPECT_EQ(f.pixel(0, 2).cb, 9);
  EXPECT_EQ(f.pixel(0, kHeight - 1).cb, 256 + 8 + kHeight / 2 - 1);
  for (int32_t y = 0; y < kHeight; ++y) {
    const int32_t q = (y % 2 == 0 ? 8 : 264) + y / 2;
    for (int32_t x = 0; x < kWidth; ++x) {
      ASSERT_EQ(f.pixel(x, y).y, luma_code(q, 40 + x)) << x << "," << y;
      ASSERT_EQ(f.pixel(x, y).cb, q) << x << "," << y;
    }
  }
}

TEST(OutputPassArea, WritesExactlyThePaddedFrame) {
  for (bool field_mode : {false, true}) {
    OutputFixture f;
    f.job.field_mode = field_mode;
    f.run_all_workers(4);
    for (int32_t y = 0; y < kRows; ++y)
      for (int32_t x = 0; x < kStride; ++x) {
        const bool inside = x < kWidth && y < kHeight;
        ASSERT_EQ(is_guard(f.pixel(x, y)), !inside) << x << "," << y << " field " << field_mode;
      }
  }
}

TEST(OutputPassWorkSplit, EveryWorkerCountGivesTheSameFrame) {
  OutputFixture reference;
  OutputFixture f;
  for (bool field_mode : {false, true}) {
    for (bool gamma : {false, true}) {
      for (OutputFixture* run : {&reference, &f}) {
        run->job.field_mode = field_mode;
        run->job.chroma_gamma = gamma;
      }
      reference.run_all_workers(1);
      for (int threads = 2; threads <= 5; ++threads) {
        std::fill(f.frame.begin(), f.frame.end(), PIXEL_YC{kGuard, kGuard, kGuard});
        f.run_all_workers(threads);
        ASSERT_EQ(0, std::memcmp(f.frame.data(), reference.frame.data(),
                                 f.frame.size() * sizeof(PIXEL_YC)))
            << threads << " workers, field " << field_mode << ", gamma " << gamma;
      }
    }
  }
}

// Each active worker uses its own line of PartLineBuffers, so that workers
// running at the same time never share scratch; idle workers write nothing.
TEST(OutputPassWorkSplit, WorkersUseOwnPartLinesAndIdleOnesWriteNothing) {
  struct Case {
    int thread_num;
    int thread_id;
    int part;  // -1: idle
  };
  const Case cases[] = {{2, 1, 1}, {3, 1, -1}, {3, 2, 1}, {4, 1, 1}, {4, 2, 2},
                        {4, 3, 3}, {5, 4, -1}, {1, 1, -1}};
  for (const Case& c : cases) {
    OutputFixture f;
    for (int line = 0; line < 4; ++line)
      for (int32_t i = 0; i < kW; ++i) f.buffers.planes.PartLineBuffers[line][i] = kGuard;
    output_pass_worker(c.thread_id, c.thread_num, f.job);
    bool frame_untouched = true;
    for (const PIXEL_YC& p : f.frame) frame_untouched = frame_untouched && is_guard(p);
    EXPECT_EQ(frame_untouched, c.part < 0) << c.thread_id << " of " << c.thread_num;
    for (int line = 0; line < 4; ++line) {
      const bool changed = f.buffers.planes.PartLineBuffers[line][0] != kGuard;
      EXPECT_EQ(changed, line == c.part) << c.thread_id << " of " << c.thread_num << " line " << line;
    }
  }
}

}  // namespace
