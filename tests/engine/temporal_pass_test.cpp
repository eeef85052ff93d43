#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/d4_kernels.h"
#include "engine/filter_parameters.h"
#include "engine/sample_conversion.h"
#include "engine/temporal_kernels.h"
#include "engine/temporal_pass.h"
#include "engine/work_planes.h"
#include "plugin/allocation.h"
#include "support/kernel_levels.h"

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace {

constexpr int32_t kW = 800;  // the smallest buffer geometry
constexpr int32_t kH = 512;

struct AlignedFree {
  void operator()(void* p) const { module_aligned_free(p); }
};
template <typename T>
using Aligned = std::unique_ptr<T[], AlignedFree>;

template <typename T>
Aligned<T> aligned(size_t count, size_t alignment) {
  return Aligned<T>(static_cast<T*>(module_aligned_alloc(count * sizeof(T), alignment)));
}

// The buffers the temporal pass touches, allocated for W x H with N slots.
class PassBuffers {
 public:
  PassBuffers(int32_t w, int32_t h, int32_t n) {
    planes.W = w;
    planes.H = h;
    planes.N = n;
    for (int i = 0; i < 4; ++i) {
      planes.LumaLineBuffers[i] = floats(w, 16);
      planes.CbLineBuffers[i] = floats(h, 16);
      planes.CrLineBuffers[i] = floats(h, 16);
    }
    planes.LumaSlotPlanesA = floats(luma_slot_count(), 64);
    planes.LumaSlotPlanesB = floats(luma_slot_count(), 64);
    planes.LumaWorkPlane = floats(static_cast<size_t>(h) * w, 64);
    planes.CbSlotPlanesA = floats(chroma_slot_count(), 64);
    planes.CbSlotPlanesB = floats(chroma_slot_count(), 64);
    planes.CrSlotPlanesA = floats(chroma_slot_count(), 64);
    planes.CrSlotPlanesB = floats(chroma_slot_count(), 64);
    planes.CbOutPlane = samples(static_cast<size_t>(w / 2) * h);
    planes.CrOutPlane = samples(static_cast<size_t>(w / 2) * h);
  }

  size_t luma_slot_count() const { return static_cast<size_t>(planes.N) * planes.H * planes.W; }
  size_t chroma_slot_count() const {
    return static_cast<size_t>(planes.N) * planes.H * (planes.W / 2);
  }
  size_t out_count() const { return static_cast<size_t>(planes.W / 2) * planes.H; }

  // The six slot arrays with their element counts.
  std::vector<std::pair<float*, size_t>> slot_arrays() const {
    const size_t l = luma_slot_count(), c = chroma_slot_count();
    return {{planes.LumaSlotPlanesA, l}, {planes.LumaSlotPlanesB, l},
            {planes.CbSlotPlanesA, c},   {planes.CbSlotPlanesB, c},
            {planes.CrSlotPlanesA, c},   {planes.CrSlotPlanesB, c}};
  }

  // Fills the results with a NaN pattern and garbage samples, so that a
  // result the pass fails to write shows.
  void poison_results() {
    const size_t work = static_cast<size_t>(planes.W) * planes.H;
    for (size_t i = 0; i < work; ++i) planes.LumaWorkPlane[i] = std::numeric_limits<float>::quiet_NaN();
    for (size_t i = 0; i < out_count(); ++i) {
      planes.CbOutPlane[i] = -32768;
      planes.CrOutPlane[i] = 32767;
    }
  }

  WorkPlanes planes;

 private:
  float* floats(size_t count, size_t alignment) {
    owned_floats_.push_back(aligned<float>(count, alignment));
    return owned_floats_.back().get();
  }
  int16_t* samples(size_t count) {
    owned_samples_.push_back(aligned<int16_t>(count, 16));
    return owned_samples_.back().get();
  }
  std::vector<Aligned<float>> owned_floats_;
  std::vector<Aligned<int16_t>> owned_samples_;
};

// Stores a line of L coefficients at position p of slot `slot`.
void store_line(float* slot_planes, int32_t n_slots, int32_t p, int32_t slot, const float* line,
                int32_t length) {
  for (int32_t i = 0; i < length; ++i) slot_planes[slot_index(p + i, slot, n_slots)] = line[i];
}

// Sets every slot other than `current` from the current slot's value.
void set_neighbours(float* slot_planes, size_t count, int32_t n_slots, int32_t current,
                    const std::function<float(float, int32_t)>& from_current) {
  const size_t chunk = static_cast<size_t>(kSlotChunk) * n_slots;
  for (size_t c = 0; c < count; c += chunk) {
    for (int32_t s = 0; s < n_slots; ++s) {
      if (s == current) continue;
      for (int lane = 0; lane < kSlotChunk; ++lane) {
        slot_planes[c + kSlotChunk * s + lane] =
            from_current(slot_planes[c + kSlotChunk * current + lane], s);
      }
    }
  }
}

// Three dual-phase levels of a line, as the spatial pass leaves them without
// coring: set B holds each level's analysis, set A the analysis of the
// odd-phase upsampling of set B's low band, whose low band feeds the next level.
void decompose(const float* x, int32_t length, float* set_a, float* set_b, float* scratch,
               int arithmetic) {
  for (int level = 1; level <= 3; ++level) {
    const int32_t l = length >> (level - 1);
    const EngineKernels& k = arithmetic_kernels(arithmetic);
    k.analysis(level == 1 ? x : set_a, l, set_b);
    k.odd_upsample(set_b, l / 2, scratch);
    k.analysis(scratch, l, set_a);
  }
}

FilterParameters thresholds(float all) {
  FilterParameters p;
  p.frame_radius = 1;
  p.w3dyl_threshold_upper = p.w3dyl_threshold_lower = p.w3dcl_threshold = all;
  for (int l = 0; l < 3; ++l) p.w3dyh_threshold[l] = p.w3dch_threshold[l] = all;
  return p;
}

// Runs the pass with `thread_num` workers, each on its own thread with the
// frame callback's control word, as the host's workers would run it.
void run_pass(const WorkPlanes& planes, const FilterParameters& params, int32_t frame,
              int arithmetic, int thread_num) {
  const TemporalJob job{frame, &arithmetic_kernels(arithmetic), &params, &planes};
  std::vector<std::thread> workers;
  for (int id = 0; id < thread_num; ++id) {
    workers.emplace_back([&job, id, thread_num] {
#if defined(__SSE__)
      _mm_setcsr(0x9D80);
#endif
      temporal_pass_worker(id, thread_num, job);
    });
  }
  for (std::thread& w : workers) w.join();
}

std::vector<float> copy_of(const float* p, size_t count) { return std::vector<float>(p, p + count); }

bool same_bits(const void* a, const void* b, size_t bytes) { return std::memcmp(a, b, bytes) == 0; }

// ---------------------------------------------------------------------------

TEST(ChromaSampleConversion, AddsHalfClampsAndTruncatesTowardZero) {
  EXPECT_EQ(float_to_sample(8191.5f), 8192);
  EXPECT_EQ(float_to_sample(8191.4f), 8191);
  EXPECT_EQ(float_to_sample(20000.0f), 8192);
  EXPECT_EQ(float_to_sample(-8192.5f), -8192);
  EXPECT_EQ(float_to_sample(-8191.5f), -8191);
  EXPECT_EQ(float_to_sample(-20000.0f), -8192);
  EXPECT_EQ(float_to_sample(2.5f), 3);
  EXPECT_EQ(float_to_sample(-2.5f), -2);
  EXPECT_EQ(float_to_sample(-4.4f), -3);
  EXPECT_EQ(float_to_sample(-0.7f), 0);
  EXPECT_EQ(float_to_sample(-0.0f), 0);
  // The half is added in single precision: 0.5 - 2^-25 plus 0.5 rounds to 1.
  EXPECT_EQ(float_to_sample(0.49999997f), 1);
  EXPECT_EQ(float_to_sample(std::numeric_limits<float>::quiet_NaN()), -8192);
}

// With every threshold below the distance to the other slots nothing is
// taken, and the pass must rebuild exactly what was decomposed: the luma
// plane from its vertical level and three horizontal dual-phase levels, the
// chroma lines from three dual-phase levels.
TEST(TemporalPass, NothingTakenRebuildsTheDecomposedPlanes) {
  for (int arithmetic : {1, 2}) {
    const int32_t n_slots = 3;
    const int32_t frame = 7;  // current frame in slot 1
    const int32_t current = frame % n_slots;
    PassBuffers buffers(kW, kH, n_slots);
    WorkPlanes& planes = buffers.planes;
    std::mt19937 rng(77 + arithmetic);
    std::uniform_real_distribution<float> luma_value(-100.0f, 100.0f);
    std::uniform_int_distribution<int> chroma_value(-2048, 2048);

    // Luma: a random plane, one vertical analysis level per column, then the
    // horizontal levels per row.
    std::vector<float> picture(static_cast<size_t>(kW) * kH);
    for (float& v : picture) v = luma_value(rng);
    std::vector<float> vertical(picture.size());
    {
      auto column = aligned<float>(kH, 16), coefficients = aligned<float>(kH, 16);
      for (int32_t x = 0; x < kW; ++x) {
        for (int32_t y = 0; y < kH; ++y) column[y] = picture[static_cast<size_t>(y) * kW + x];
        arithmetic_kernels(arithmetic).analysis(column.get(), kH, coefficients.get());
        for (int32_t y = 0; y < kH; ++y) vertical[static_cast<size_t>(y) * kW + x] = coefficients[y];
      }
    }
    auto set_a = aligned<float>(kW, 16), set_b = aligned<float>(kW, 16);
    auto scratch = aligned<float>(kW, 16);
    for (int32_t y = 0; y < kH; ++y) {
      decompose(&vertical[static_cast<size_t>(y) * kW], kW, set_a.get(), set_b.get(),
                scratch.get(), arithmetic);
      store_line(planes.LumaSlotPlanesA, n_slots, y * kW, current, set_a.get(), kW);
      store_line(planes.LumaSlotPlanesB, n_slots, y * kW, current, set_b.get(), kW);
    }

    // Chroma: lines of integer samples.
    std::vector<int32_t> cb(buffers.out_count()), cr(buffers.out_count());
    auto line = aligned<float>(kH, 16);
    for (auto [values, slots_a, slots_b] :
         {std::tuple{&cb, planes.CbSlotPlanesA, planes.CbSlotPlanesB},
          std::tuple{&cr, planes.CrSlotPlanesA, planes.CrSlotPlanesB}}) {
      for (int32_t j = 0; j < kW / 2; ++j) {
        for (int32_t k = 0; k < kH; ++k) {
          (*values)[static_cast<size_t>(j) * kH + k] = chroma_value(rng);
          line[k] = static_cast<float>((*values)[static_cast<size_t>(j) * kH + k]);
        }
        decompose(line.get(), kH, set_a.get(), set_b.get(), scratch.get(), arithmetic);
        store_line(slots_a, n_slots, j * kH, current, set_a.get(), kH);
        store_line(slots_b, n_slots, j * kH, current, set_b.get(), kH);
      }
    }

    // The other slots: distinct values, each far more than 0.1 from x0.
    for (auto [array, count] : buffers.slot_arrays()) {
      set_neighbours(array, count, n_slots, current,
                     [](float x0, int32_t s) { return x0 + 100.0f * static_cast<float>(s + 1); });
    }
    std::vector<std::vector<float>> before;
    for (auto [array, count] : buffers.slot_arrays()) before.push_back(copy_of(array, count));

    buffers.poison_results();
    run_pass(planes, thresholds(0.1f), frame, arithmetic, 1);

    float worst = 0.0f;
    for (size_t i = 0; i < picture.size(); ++i) {
      const float error = std::fabs(planes.LumaWorkPlane[i] - picture[i]);
      ASSERT_FALSE(std::isnan(error)) << "luma position " << i << " not written";
      worst = std::max(worst, error);
    }
    EXPECT_LT(worst, 1e-3f) << "level " << arithmetic;

    // An integer sample k rebuilt to within rounding converts to k when
    // k >= 0 and to k + 1 when k < 0 (add 0.5, truncate toward zero).
    for (auto [values, out] : {std::pair{&cb, planes.CbOutPlane}, std::pair{&cr, planes.CrOutPlane}}) {
      for (size_t i = 0; i < values->size(); ++i) {
        const int32_t k = (*values)[i];
        ASSERT_EQ(out[i], k >= 0 ? k : k + 1) << "chroma position " << i << " level " << arithmetic;
      }
    }

    // The slot planes are only read.
    size_t a = 0;
    for (auto [array, count] : buffers.slot_arrays()) {
      EXPECT_TRUE(same_bits(array, before[a++].data(), count * sizeof(float)));
    }
  }
}

// Random current-slot coefficients; every neighbour 1 to 2 away from x0, so a
// threshold of 10 takes all of them and 0.1 none.
void fill_close_window(PassBuffers& buffers, int32_t current, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> value(-300.0f, 300.0f);
  std::uniform_real_distribution<float> apart(1.0f, 2.0f);
  std::uniform_int_distribution<int> coin(0, 1);
  const int32_t n_slots = buffers.planes.N;
  for (auto [array, count] : buffers.slot_arrays()) {
    for (size_t i = 0; i < count; ++i) array[i] = value(rng);
    set_neighbours(array, count, n_slots, current, [&](float x0, int32_t) {
      return x0 + (coin(rng) ? apart(rng) : -apart(rng));
    });
  }
}

// Which positions of which arrays a threshold governs.
struct Band {
  std::string name;
  float FilterParameters::*scalar = nullptr;  // or
  int level = 0;                              // 1..3 of a per-level array
  bool luma = true;
  bool upper_rows_only = false, lower_rows_only = false;
};

// Each threshold must govern exactly its own band: with that threshold at 10
// and all others at 0.1, the result must equal a pass over data whose
// current slot already holds the estimates in that band and the original
// values elsewhere, with nothing taken.
TEST(TemporalPass, EachThresholdGovernsItsOwnBand) {
  const int32_t n_slots = 3;
  const int32_t frame = 4;
  const int32_t current = frame % n_slots;
  const std::vector<Band> bands = {
      {"luma coarse, upper rows", &FilterParameters::w3dyl_threshold_upper, 0, true, true, false},
      {"luma coarse, lower rows", &FilterParameters::w3dyl_threshold_lower, 0, true, false, true},
      {"luma level 1", nullptr, 1, true},
      {"luma level 2", nullptr, 2, true},
      {"luma level 3", nullptr, 3, true},
      {"chroma coarse", &FilterParameters::w3dcl_threshold, 0, false},
      {"chroma level 1", nullptr, 1, false},
      {"chroma level 2", nullptr, 2, false},
      {"chroma level 3", nullptr, 3, false},
  };
  PassBuffers window(kW, kH, n_slots);
  fill_close_window(window, current, 5);
  const auto copy_window = [&window](PassBuffers& to) {
    const auto from = window.slot_arrays();
    const auto dst = to.slot_arrays();
    for (size_t i = 0; i < from.size(); ++i) {
      std::memcpy(dst[i].first, from[i].first, from[i].second * sizeof(float));
    }
  };
  PassBuffers taken(kW, kH, n_slots);
  PassBuffers expected(kW, kH, n_slots);
  copy_window(taken);
  // The bands alternate between the two fits, so that anime mode's choice
  // of the full fit is wired through as well.
  for (size_t b = 0; b < bands.size(); ++b) {
    const Band& band = bands[b];
    const bool anime = b % 2 == 0;
    FilterParameters params = thresholds(0.1f);
    params.anime_mode = anime;
    if (band.scalar) {
      params.*band.scalar = 10.0f;
    } else if (band.luma) {
      params.w3dyh_threshold[band.level - 1] = 10.0f;
    } else {
      params.w3dch_threshold[band.level - 1] = 10.0f;
    }
    taken.poison_results();
    run_pass(taken.planes, params, frame, 1, 1);

    // The expectation: estimates written into the current slot over the
    // band, then a pass in which nothing is taken.
    copy_window(expected);
    const TemporalKernel kernel =
        arithmetic_kernels(1).temporal[temporal_kernel_entry(1, anime)];
    const WorkPlanes& e = expected.planes;
    const int32_t length = band.luma ? kW : kH;
    const int32_t lines = band.luma ? kH : kW / 2;
    const int32_t start = band.level == 0 ? 0 : length >> band.level;
    const int32_t v = band.level == 0 ? length / 8 : length >> band.level;
    std::vector<float*> arrays;
    if (band.luma) {
      arrays = {e.LumaSlotPlanesA};
      if (band.level != 0) arrays.push_back(e.LumaSlotPlanesB);
    } else {
      arrays = {e.CbSlotPlanesA, e.CrSlotPlanesA};
      if (band.level != 0) arrays.insert(arrays.end(), {e.CbSlotPlanesB, e.CrSlotPlanesB});
    }
    auto estimate = aligned<float>(v, 16);
    for (float* array : arrays) {
      for (int32_t y = 0; y < lines; ++y) {
        if (band.upper_rows_only && y >= kH / 2) continue;
        if (band.lower_rows_only && y < kH / 2) continue;
        const int32_t p = y * length + start;
        kernel(v, 10.0f, estimate.get(), array, p, frame);
        store_line(array, n_slots, p, current, estimate.get(), v);
      }
    }
    for (auto [array, count] : expected.slot_arrays()) {
      set_neighbours(array, count, n_slots, current,
                     [](float x0, int32_t) { return x0 + 1000.0f; });
    }
    FilterParameters none = thresholds(0.1f);
    none.anime_mode = anime;
    expected.poison_results();
    run_pass(expected.planes, none, frame, 1, 1);

    const std::string where = band.name + (anime ? " (full fit)" : " (reduced fit)");
    EXPECT_TRUE(same_bits(taken.planes.LumaWorkPlane, e.LumaWorkPlane,
                          sizeof(float) * kW * kH)) << where;
    EXPECT_TRUE(same_bits(taken.planes.CbOutPlane, e.CbOutPlane, 2 * taken.out_count())) << where;
    EXPECT_TRUE(same_bits(taken.planes.CrOutPlane, e.CrOutPlane, 2 * taken.out_count())) << where;
  }
}

// Every worker count gives the same bits; a plane left to a worker that
// does not exist, or written twice at once, would show here.
TEST(TemporalPass, ResultDoesNotDependOnWorkerCount) {
  const int32_t n_slots = 5;
  const int32_t frame = 12;
  PassBuffers buffers(kW, kH, n_slots);
  fill_close_window(buffers, frame % n_slots, 9);
  FilterParameters params = thresholds(1.5f);
  params.frame_radius = 2;
  params.w3dyl_threshold_lower = 1.8f;
  params.w3dyh_threshold[0] = 1.2f;
  params.w3dch_threshold[2] = 1.7f;

  run_pass(buffers.planes, params, frame, 2, 1);
  const std::vector<float> luma = copy_of(buffers.planes.LumaWorkPlane, size_t{kW} * kH);
  const std::vector<int16_t> cb(buffers.planes.CbOutPlane,
                                buffers.planes.CbOutPlane + buffers.out_count());
  const std::vector<int16_t> cr(buffers.planes.CrOutPlane,
                                buffers.planes.CrOutPlane + buffers.out_count());
  for (int thread_num = 2; thread_num <= 5; ++thread_num) {
    buffers.poison_results();
    run_pass(buffers.planes, params, frame, 2, thread_num);
    EXPECT_TRUE(same_bits(buffers.planes.LumaWorkPlane, luma.data(), sizeof(float) * luma.size()))
        << thread_num << " workers";
    EXPECT_TRUE(same_bits(buffers.planes.CbOutPlane, cb.data(), 2 * cb.size()))
        << thread_num << " workers";
    EXPECT_TRUE(same_bits(buffers.planes.CrOutPlane, cr.data(), 2 * cr.size()))
        << thread_num << " workers";
  }
}

// The luma plane as the plain order of work defines it: every row estimated
// and rebuilt over its three levels with the line kernels, then d4_synthesis
// of every column.
std::vector<float> reference_luma(const WorkPlanes& planes, const FilterParameters& params,
                                  int32_t frame, int arithmetic) {
  const int32_t W = planes.W, H = planes.H;
  const EngineKernels& k = arithmetic_kernels(arithmetic);
  const TemporalKernel kernel =
      k.temporal[temporal_kernel_entry((planes.N - 1) / 2, params.anime_mode)];
  auto a = aligned<float>(W, 16), b = aligned<float>(W, 16), t = aligned<float>(W, 16);
  std::vector<float> plane(static_cast<size_t>(W) * H);
  for (int32_t y = 0; y < H; ++y) {
    const int32_t p = y * W;
    kernel(W / 8, y < H / 2 ? params.w3dyl_threshold_upper : params.w3dyl_threshold_lower,
           a.get(), planes.LumaSlotPlanesA, p, frame);
    for (int level = 3; level >= 1; --level) {
      const int32_t v = W >> level;
      const float threshold = params.w3dyh_threshold[level - 1];
      kernel(v, threshold, a.get() + v, planes.LumaSlotPlanesA, p + v, frame);
      kernel(v, threshold, b.get() + v, planes.LumaSlotPlanesB, p + v, frame);
      k.synthesis(a.get(), v, t.get());
      k.odd_lowpass(t.get(), 2 * v, b.get());
      k.synthesis(b.get(), v, a.get());
    }
    std::copy(a.get(), a.get() + W, plane.begin() + p);
  }
  auto column = aligned<float>(H, 16), rebuilt = aligned<float>(H, 16);
  for (int32_t x = 0; x < W; ++x) {
    for (int32_t y = 0; y < H; ++y) column[y] = plane[static_cast<size_t>(y) * W + x];
    k.synthesis(column.get(), H / 2, rebuilt.get());
    for (int32_t y = 0; y < H; ++y) plane[static_cast<size_t>(y) * W + x] = rebuilt[y];
  }
  return plane;
}

// The pass interleaves the column synthesis with the rows and keeps the rows
// in a different order meanwhile; the luma plane must still be the plain
// order's, bit for bit, for every window length, both fits and both levels.
TEST(TemporalPass, LumaEqualsRowsThenColumnsOfTheLineKernels) {
  for (int32_t radius : {1, 4}) {
    const int32_t n_slots = 2 * radius + 1;
    const int32_t frame = 10;
    PassBuffers buffers(kW, kH, n_slots);
    fill_close_window(buffers, frame % n_slots, 21 + radius);
    for (bool anime : {false, true}) {
      for (int arithmetic : {1, 2}) {
        FilterParameters params = thresholds(1.5f);
        params.frame_radius = radius;
        params.anime_mode = anime;
        params.w3dyl_threshold_lower = 1.2f;
        params.w3dyh_threshold[1] = 1.8f;
        buffers.poison_results();
        run_pass(buffers.planes, params, frame, arithmetic, 1);
        const std::vector<float> expected =
            reference_luma(buffers.planes, params, frame, arithmetic);
        EXPECT_TRUE(same_bits(buffers.planes.LumaWorkPlane, expected.data(),
                              sizeof(float) * expected.size()))
            << "N = " << n_slots << (anime ? ", full fit" : ", reduced fit") << ", level "
            << arithmetic;
      }
    }
  }
}

TEST(TemporalPass, UnknownWindowLengthLeavesResultsAlone) {
  PassBuffers buffers(kW, kH, 4);
  buffers.poison_results();
  run_pass(buffers.planes, thresholds(1.0f), 3, 1, 1);
  EXPECT_TRUE(std::isnan(buffers.planes.LumaWorkPlane[0]));
  EXPECT_EQ(buffers.planes.CbOutPlane[0], -32768);
  EXPECT_EQ(buffers.planes.CrOutPlane[buffers.out_count() - 1], 32767);
}

}  // namespace
