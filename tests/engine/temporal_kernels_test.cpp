#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/engine_kernels.h"
#include "engine/temporal_kernels.h"
#include "engine/temporal_slot.h"
#include "engine/work_planes.h"
#include "plugin/allocation.h"
#include "support/kernel_levels.h"

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace {

struct AlignedFree {
  void operator()(float* p) const { module_aligned_free(p); }
};
using Floats = std::unique_ptr<float[], AlignedFree>;

Floats aligned_floats(size_t count) {
  return Floats(static_cast<float*>(module_aligned_alloc(count * sizeof(float), 64)));
}

uint32_t bits(float v) {
  uint32_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

float from_bits(uint32_t b) {
  float v;
  std::memcpy(&v, &b, sizeof v);
  return v;
}

// The frame callback runs the kernels with MXCSR 0x9D80: round to nearest,
// flush-to-zero, divide-by-zero unmasked. A division by zero in any lane
// would stop the test with a floating-point exception.
class FrameControlWord {
 public:
#if defined(__SSE__)
  FrameControlWord() : saved_(_mm_getcsr()) { _mm_setcsr(0x9D80); }
  ~FrameControlWord() { _mm_setcsr(saved_); }

 private:
  unsigned saved_;
#endif
};

struct Form {
  std::string name;
  EngineKernels kernels;
  const TemporalKernel* table() const { return kernels.temporal; }
};

// The tables of every level run here, the plain level first.
std::vector<Form> forms() {
  std::vector<Form> all;
  for (KernelLevel level : runnable_kernel_levels())
    all.push_back({kernel_level_name(level), engine_kernels(level)});
  return all;
}

// Above plain every level has temporal forms of its own (the comparison with
// the plain forms below would prove nothing otherwise), and every entry is a
// different function.
TEST(TemporalKernelTable, LevelsAbovePlainHoldFormsOfTheirOwn) {
  const EngineKernels plain = engine_kernels(KernelLevel::kPlain);
  for (const Form& form : forms()) {
    for (int e = 0; e < kTemporalKernelEntries; ++e) {
      if (form.kernels.level != KernelLevel::kPlain) {
        EXPECT_NE(form.table()[e], plain.temporal[e]) << form.name << " entry " << e;
      }
      for (int other = 0; other < e; ++other)
        EXPECT_NE(form.table()[e], form.table()[other]) << form.name << " entry " << e;
    }
  }
  note_skipped_levels("temporal forms of the levels not run here");
}

TEST(TemporalKernelTable, EntryFollowsRadiusAndMode) {
  EXPECT_EQ(temporal_kernel_entry(1, true), 0);
  EXPECT_EQ(temporal_kernel_entry(4, true), 3);
  EXPECT_EQ(temporal_kernel_entry(1, false), 4);
  EXPECT_EQ(temporal_kernel_entry(4, false), 7);
}

// ---------------------------------------------------------------------------
// Worked cases on one group of four positions.

// The values of one group of four positions for every time offset:
// value[t + radius][lane].
struct Window {
  int radius;
  std::vector<std::array<float, 4>> value;

  explicit Window(int r) : radius(r), value(2 * r + 1) {
    // Far apart by default, so that nothing is taken with small thresholds.
    for (int t = -r; t <= r; ++t) value[t + r].fill(1000.0f * static_cast<float>(t));
  }
  std::array<float, 4>& at(int t) { return value[t + radius]; }
};

// Runs `kernel` over the group at position p (a multiple of 4) of a plane
// whose other groups hold NaN, so that a kernel reading the wrong group shows.
std::array<float, 4> estimate(TemporalKernel kernel, const Window& w, float threshold,
                              int32_t frame, int32_t p = 0) {
  const int n_slots = 2 * w.radius + 1;
  const int chunks = p / kSlotChunk + 2;
  const int count = chunks * kSlotChunk * n_slots;
  Floats planes = aligned_floats(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) planes[i] = std::numeric_limits<float>::quiet_NaN();
  for (int t = -w.radius; t <= w.radius; ++t) {
    const int32_t slot = static_cast<int32_t>(((int64_t{frame} + t) % n_slots + n_slots) % n_slots);
    for (int lane = 0; lane < 4; ++lane) {
      planes[slot_index(p + lane, slot, n_slots)] = w.value[t + w.radius][lane];
    }
  }
  Floats out = aligned_floats(4);
  FrameControlWord control;
  kernel(4, threshold, out.get(), planes.get(), p, frame);
  return {out[0], out[1], out[2], out[3]};
}

TEST(TemporalKernel, NothingTakenKeepsX0Exactly) {
  for (const Form& form : forms()) {
    for (int r = 1; r <= 4; ++r) {
      for (bool full : {true, false}) {
        Window w(r);
        w.at(0) = {5.0f, -0.0f, 1e-3f, -123.456f};
        // Every neighbour at least 0.1 away, the threshold of a track at 0;
        // lane 1 (x0 = -0.0) has its neighbours exactly 0.1 away.
        const float apart[4] = {0.25f, 0.1f, 0.5f, 0.125f};
        for (int t = -r; t <= r; ++t) {
          if (t == 0) continue;
          for (int lane = 0; lane < 4; ++lane) {
            w.at(t)[lane] = w.at(0)[lane] + (t < 0 ? -apart[lane] : apart[lane]);
          }
        }
        const auto out = estimate(form.table()[temporal_kernel_entry(r, full)], w, 0.1f, 17);
        for (int lane = 0; lane < 4; ++lane) {
          EXPECT_EQ(bits(out[lane]), bits(w.at(0)[lane]))
              << form.name << " R=" << r << " full=" << full << " lane " << lane;
        }
      }
    }
  }
}

TEST(TemporalKernel, DifferenceEqualToThresholdIsNotTaken) {
  for (const Form& form : forms()) {
    for (bool full : {true, false}) {
      const TemporalKernel k = form.table()[temporal_kernel_entry(1, full)];
      Window w(1);
      w.at(0) = {3.0f, 3.0f, -2.0f, 0.0f};
      // Lanes 0 and 2: both neighbours exactly T = 0.5 away. Lanes 1 and 3:
      // just inside, so they are taken and the estimate moves.
      w.at(-1) = {3.5f, 3.25f, -2.5f, -0.25f};
      w.at(1) = {2.5f, 2.75f, -1.5f, 0.25f};
      const auto out = estimate(k, w, 0.5f, 4);
      EXPECT_EQ(out[0], 3.0f) << form.name;
      EXPECT_EQ(out[2], -2.0f) << form.name;
      if (full) {
        EXPECT_EQ(out[1], 3.0f) << form.name;  // (3.25 + 3 + 2.75) / 3
        EXPECT_EQ(out[3], 0.0f) << form.name;
      } else {
        // (2 x0 + 3 x_-1 + x_+1) / 6
        EXPECT_EQ(out[1], (6.0f + 9.75f + 2.75f) / 6.0f) << form.name;
        EXPECT_EQ(out[3], (0.0f - 0.75f + 0.25f) / 6.0f) << form.name;
      }
    }
  }
}

TEST(TemporalKernel, FullFitWorkedCases) {
  for (const Form& form : forms()) {
    for (int r = 1; r <= 4; ++r) {
      const TemporalKernel k = form.table()[temporal_kernel_entry(r, true)];
      const std::string where = form.name + " R=" + std::to_string(r);
      // One neighbour taken, each offset in turn: the line through two points
      // passes through (0, x0).
      for (int t = -r; t <= r; ++t) {
        if (t == 0) continue;
        Window w(r);
        w.at(0) = {10.0f, -7.0f, 0.5f, 100.0f};
        w.at(t) = {11.0f, -6.0f, 0.25f, 101.5f};
        const auto out = estimate(k, w, 2.0f, 9);
        for (int lane = 0; lane < 4; ++lane) {
          EXPECT_EQ(out[lane], w.at(0)[lane]) << where << " t=" << t << " lane " << lane;
        }
      }
      // t = -1 and +1 taken: the mean of the three values.
      {
        Window w(r);
        w.at(-1) = {4.0f, -1.0f, 2.0f, 7.0f};
        w.at(0) = {3.0f, -2.0f, 2.5f, 6.0f};
        w.at(1) = {8.0f, 0.0f, 1.0f, 5.0f};
        const auto out = estimate(k, w, 6.0f, 0);
        const float mean[4] = {5.0f, -1.0f, 5.5f / 3.0f, 6.0f};
        for (int lane = 0; lane < 4; ++lane) EXPECT_EQ(out[lane], mean[lane]) << where;
      }
      // Every neighbour taken: the mean of the N values.
      {
        Window w(r);
        std::array<float, 4> sum = {};
        for (int t = -r; t <= r; ++t) {
          for (int lane = 0; lane < 4; ++lane) {
            w.at(t)[lane] = static_cast<float>((t * 7 + lane * 3) % 5 + 20 * lane);
            if (t != 0) sum[lane] += w.at(t)[lane];
          }
        }
        // Choose x0 so that the mean of the window is the integer 20 x lane + 2.
        for (int lane = 0; lane < 4; ++lane) {
          w.at(0)[lane] = static_cast<float>(2 * r + 1) * (20.0f * lane + 2.0f) - sum[lane];
        }
        const auto out = estimate(k, w, 1000.0f, 5);
        for (int lane = 0; lane < 4; ++lane) EXPECT_EQ(out[lane], 20.0f * lane + 2.0f) << where;
      }
    }
  }
}

TEST(TemporalKernel, ReducedFitWorkedCases) {
  for (const Form& form : forms()) {
    const TemporalKernel k3 = form.table()[temporal_kernel_entry(1, false)];
    Window w(1);
    w.at(-1) = {9.0f, 9.0f, 50.0f, 9.0f};
    w.at(0) = {6.0f, 6.0f, 6.0f, -0.0f};
    w.at(1) = {50.0f, 12.0f, 9.0f, -0.0f};
    const auto out = estimate(k3, w, 7.0f, 2);
    EXPECT_EQ(out[0], 8.0f) << form.name;  // only t = -1: (x0 + 2 x_-1) / 3
    EXPECT_EQ(out[1], 8.5f) << form.name;  // both: (2 x0 + 3 x_-1 + x_+1) / 6
    EXPECT_EQ(out[2], 6.0f) << form.name;  // only t = +1: x0
    // x0 = -0.0 with only t = +1 (-0.0) taken: Sx = -0.0 + -0.0 keeps its
    // sign, and so does the estimate.
    EXPECT_EQ(bits(out[3]), bits(-0.0f)) << form.name;

    // Every neighbour taken: the mean minus Stx / (N S2).
    for (int r = 2; r <= 4; ++r) {
      const TemporalKernel k = form.table()[temporal_kernel_entry(r, false)];
      Window all(r);
      double sx = 0, stx = 0, s2 = 0;
      for (int t = -r; t <= r; ++t) {
        all.at(t).fill(static_cast<float>(3 * t * t - t + 11));
        sx += 3.0 * t * t - t + 11;
        stx += t * (3.0 * t * t - t + 11);
        s2 += t * t;
      }
      const int n_slots = 2 * r + 1;
      const double expected = sx / n_slots - stx / (n_slots * s2);
      const auto got = estimate(k, all, 1000.0f, 3);
      EXPECT_FLOAT_EQ(got[0], static_cast<float>(expected)) << form.name << " R=" << r;
    }
  }
}

TEST(TemporalKernel, NegativeZeroSumsFollowThePlainForm) {
  // x0 = -0.0, t = -1 not taken, t = +1 taken and -0.0: the plain form's
  // Sx stays -0.0, so the estimate is -0.0 in both fits.
  for (const Form& form : forms()) {
    for (int r = 1; r <= 4; ++r) {
      for (bool full : {true, false}) {
        Window w(r);
        w.at(0).fill(-0.0f);
        w.at(-1).fill(7.0f);
        w.at(1) = {-0.0f, 0.0f, -0.0f, 0.0f};
        const auto out = estimate(form.table()[temporal_kernel_entry(r, full)], w, 1.0f, 1);
        for (int lane = 0; lane < 4; ++lane) {
          EXPECT_EQ(out[lane], 0.0f);
          EXPECT_EQ(std::signbit(out[lane]), lane % 2 == 0)
              << form.name << " R=" << r << " full=" << full << " lane " << lane;
        }
      }
    }
  }
}

TEST(TemporalKernel, SlotsFollowTheFrameNumber) {
  // Only the neighbour at t = -1 is close: the reduced fit then gives
  // (x0 + 2 x_-1) / 3 = 8, which tells that x_-1 came from the right slot.
  for (const Form& form : forms()) {
    for (int r = 1; r <= 4; ++r) {
      const int n_slots = 2 * r + 1;
      const TemporalKernel k = form.table()[temporal_kernel_entry(r, false)];
      for (int32_t frame : {0, 1, n_slots - 1, 2 * n_slots + 1, 2147483647}) {
        for (int32_t p : {0, 12}) {
          Window w(r);
          w.at(0).fill(6.0f);
          w.at(-1).fill(9.0f);
          const auto out = estimate(k, w, 5.0f, frame, p);
          for (int lane = 0; lane < 4; ++lane) {
            EXPECT_EQ(out[lane], 8.0f)
                << form.name << " N=" << n_slots << " frame " << frame << " p " << p;
          }
        }
      }
    }
  }
  // Frame 0 by hand: the current frame in slot 0, offset -1 in slot N - 1.
  EXPECT_EQ(temporal_slot(0, 0, 5), 0);
  EXPECT_EQ(temporal_slot(0, -1, 5), 4);
  EXPECT_EQ(temporal_slot(0, 2, 5), 2);
  EXPECT_EQ(temporal_slot(2147483647, 0, 9), 2147483647 % 9);
}

// ---------------------------------------------------------------------------
// Vector forms against the plain forms, bit for bit, on random slot data.

// Segment lengths the passes use: W/8, W/4, W/2 and H/8, H/4, H/2 of the
// geometries 800 x 512, 1472 x 1120 and 1952 x 1120.
std::vector<int32_t> segment_lengths() {
  std::vector<int32_t> lengths;
  for (int32_t side : {800, 512, 1472, 1120, 1952}) {
    for (int shift = 1; shift <= 3; ++shift) lengths.push_back(side >> shift);
  }
  return lengths;
}

enum class Fill { kGrid, kSignedZeros, kNearEqual, kSpread, kAllTaken };

// Fills the slot data and returns a threshold for it. The grid modes make
// differences that equal the threshold exactly, equal values and +-0.0.
float fill(Fill mode, std::mt19937& rng, float* planes, size_t count) {
  std::uniform_int_distribution<int> step(-6, 6);
  std::uniform_int_distribution<int> coin(0, 1);
  std::uniform_real_distribution<float> spread(-500.0f, 500.0f);
  switch (mode) {
    case Fill::kGrid:
      for (size_t i = 0; i < count; ++i) planes[i] = 0.25f * static_cast<float>(step(rng));
      return std::array<float, 3>{0.25f, 0.5f, 1.0f}[coin(rng) + coin(rng)];
    case Fill::kSignedZeros:
      for (size_t i = 0; i < count; ++i) {
        const int s = step(rng) / 3;  // mostly zero
        planes[i] = s == 0 ? (coin(rng) ? -0.0f : 0.0f) : 0.5f * static_cast<float>(s);
      }
      return 0.5f;
    case Fill::kNearEqual:
      for (size_t i = 0; i < count; ++i) {
        planes[i] = 1000.0f + 0.0625f * static_cast<float>(step(rng) / 2);
      }
      return 0.0625f * static_cast<float>(1 + coin(rng));
    case Fill::kSpread:
      for (size_t i = 0; i < count; ++i) planes[i] = spread(rng);
      return std::uniform_real_distribution<float>(0.0f, 400.0f)(rng);
    case Fill::kAllTaken:
      for (size_t i = 0; i < count; ++i) planes[i] = spread(rng) * 1e-3f;
      return 1e30f;
  }
  return 0.0f;
}

TEST(TemporalKernel, EveryLevelsFormsMatchThePlainFormsBitForBit) {
  const std::vector<Form> levels = forms();
  if (levels.size() == 1) GTEST_SKIP() << "only the plain forms run here";
  constexpr int kGuard = 8;
  const uint32_t sentinel = 0x7FC0DEADu;  // a NaN no kernel produces
  std::mt19937 rng(20240611);
  const TemporalKernel* plain_forms = levels[0].table();
  for (size_t level = 1; level < levels.size(); ++level) {
    const TemporalKernel* vector_forms = levels[level].table();
    int compared = 0;
    for (int e = 0; e < 8; ++e) {
      const int n_slots = 2 * (e % 4 + 1) + 1;
      for (int32_t n : segment_lengths()) {
        for (Fill mode : {Fill::kGrid, Fill::kSignedZeros, Fill::kNearEqual, Fill::kSpread,
                          Fill::kAllTaken}) {
          const int32_t p = 4 * std::uniform_int_distribution<int32_t>(0, 16)(rng);
          const int32_t frame = std::array<int32_t, 4>{
              0, 1, std::uniform_int_distribution<int32_t>(0, 1 << 20)(rng),
              2147483647}[std::uniform_int_distribution<int>(0, 3)(rng)];
          // Whole chunks: the last positions' chunk reaches beyond p + n.
          const size_t count =
              static_cast<size_t>((p + n + kSlotChunk - 1) / kSlotChunk * kSlotChunk) * n_slots;
          Floats planes = aligned_floats(count);
          const float threshold = fill(mode, rng, planes.get(), count);

          Floats plain = aligned_floats(n + 2 * kGuard);
          Floats vector = aligned_floats(n + 2 * kGuard);
          for (int i = 0; i < n + 2 * kGuard; ++i) {
            plain[i] = vector[i] = from_bits(sentinel);
          }
          {
            FrameControlWord control;
            plain_forms[e](n, threshold, plain.get() + kGuard, planes.get(), p, frame);
            vector_forms[e](n, threshold, vector.get() + kGuard, planes.get(), p, frame);
          }
          for (int i = 0; i < n + 2 * kGuard; ++i) {
            const bool guard = i < kGuard || i >= n + kGuard;
            if (guard) {
              ASSERT_EQ(bits(vector[i]), sentinel) << "entry " << e << " n " << n << " guard " << i;
              ASSERT_EQ(bits(plain[i]), sentinel) << "entry " << e << " n " << n << " guard " << i;
            } else {
              ASSERT_EQ(bits(vector[i]), bits(plain[i]))
                  << levels[level].name << " entry " << e << " n " << n << " mode "
                  << static_cast<int>(mode)
                  << " position " << i - kGuard << ": " << vector[i] << " vs " << plain[i];
            }
          }
          ++compared;
        }
      }
    }
    EXPECT_EQ(compared, 8 * 15 * 5);
  }
  note_skipped_levels("temporal forms of the levels not run here");
}

}  // namespace
