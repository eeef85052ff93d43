// The mosquito noise reduction at every kernel level against the plain
// level, bit for bit: natural and extreme luma ranges (the SSE2 form hands
// rows spanning more than kMosquitoVectorSpan to the plain form), coarse luma
// steps that make lines tie, negative luma
// (line 18's means truncate toward zero), both field modes, missing
// neighbours, widths whose interior is not a multiple of eight, and starting
// costs from zero to beyond 16 bits.
#include <gtest/gtest.h>

#include <climits>
#include <random>

#include "plugin/kernel_level.h"
#include "prefilter/mosquito_nr.h"
#include "support/kernel_levels.h"
#include "test_frames.h"

#if defined(__i386__) || defined(__x86_64__)
#include "prefilter/x86/mosquito_nr_sse2.h"
#endif

namespace {

using prefilter_test::TestFrame;

// Luma around `base` in steps of `step` (coarse steps make equal costs
// common); every `wild_row`-th row (0: none) over the whole 16-bit range.
TestFrame frame(int32_t w, int32_t h, uint32_t seed, int32_t base, int32_t step, int32_t wild_row) {
  TestFrame f(w, h);
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int32_t> grain(-6, 6), chroma(-500, 500), wild(-32768, 32767);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const bool extreme = wild_row > 0 && y % wild_row == 0;
      f.at(x, y) = PIXEL_YC{static_cast<int16_t>(extreme ? wild(rng) : base + step * grain(rng)),
                            static_cast<int16_t>(chroma(rng)), static_cast<int16_t>(chroma(rng))};
    }
  return f;
}

TestFrame run(const EngineKernels& kernels, const TestFrame& cur, const TestFrame* prev,
              const TestFrame* next, int32_t t3, int32_t f) {
  TestFrame dst = prefilter_test::guard_frame(cur);
  MosquitoNrJob job;
  job.cur = cur.data();
  job.prev = prev ? prev->data() : nullptr;
  job.next = next ? next->data() : nullptr;
  job.dst = dst.data();
  job.stride = cur.stride;
  job.w = cur.w;
  job.h = cur.h;
  job.field_count = f;
  job.t3 = t3;
  job.kernels = &kernels;
  mosquito_nr_rows(job, 0, cur.h);
  EXPECT_TRUE(prefilter_test::guards_intact(dst));
  return dst;
}

TEST(MosquitoNrForms, EveryLevelEqualsThePlainLevel) {
  struct Luma {
    int32_t base, step, wild_row;
  };
  const Luma kinds[] = {{1500, 9, 0}, {-700, 3, 0}, {-1, 1, 0}, {2000, 40, 4}};
  const EngineKernels plain = engine_kernels(KernelLevel::kPlain);
  for (KernelLevel level : runnable_kernel_levels()) {
    if (level == KernelLevel::kPlain) continue;
    const EngineKernels kernels = engine_kernels(level);
    // The SSE3 level brings the SSE2 form; comparing the plain form with
    // itself would prove nothing.
    if (level >= KernelLevel::kSse3) {
      ASSERT_NE(kernels.mosquito_nr_luma, plain.mosquito_nr_luma);
    }
    uint32_t seed = 1;
    for (int32_t w : {12, 21, 64}) {
      for (const Luma l : kinds) {
        const TestFrame cur = frame(w, 20, seed++, l.base, l.step, l.wild_row);
        const TestFrame prev = frame(w, 20, seed++, l.base, l.step, l.wild_row);
        const TestFrame next = frame(w, 20, seed++, l.base, l.step, l.wild_row);
        for (int32_t t3 : {0, 8, 80, 200, 20000, INT_MAX, -3})
          for (int32_t f : {1, 2})
            for (bool neighbours : {true, false}) {
              const TestFrame* p = neighbours ? &prev : nullptr;
              const TestFrame* n = neighbours ? &next : nullptr;
              const TestFrame actual = run(kernels, cur, p, n, t3, f);
              const TestFrame expected = run(plain, cur, p, n, t3, f);
              ASSERT_EQ(prefilter_test::count_differences(actual, expected), 0)
                  << kernel_level_name(level) << ": w " << w << " base " << l.base << " step "
                  << l.step << " wild rows " << l.wild_row << " t3 " << t3 << " f " << f
                  << " neighbours " << neighbours;
            }
      }
    }
  }
  note_skipped_levels("mosquito NR at the levels not run here");
}

#if defined(__i386__) || defined(__x86_64__)
// The SSE2 form computes rows of natural range itself (so the comparison
// above covers it) and hands rows whose luma spans more than
// kMosquitoVectorSpan to the plain form.
TEST(MosquitoNrForms, Sse2FormTakesNaturalRowsAndHandsOnWideOnes) {
  if (highest_kernel_level() < KernelLevel::kSse3) {
    GTEST_SKIP() << "the SSE3 level does not run here";
  }
  int16_t luma[11][20];
  for (int r = 0; r < 11; ++r)
    for (int32_t i = 0; i < 20; ++i) luma[r][i] = static_cast<int16_t>(500 + 3 * ((r + i) % 7));
  MosquitoRows rows;
  for (int r = 0; r < 5; ++r) rows.cur[r] = luma[r] + 2;
  for (int r = 0; r < 3; ++r) {
    rows.prev[r] = luma[5 + r] + 2;
    rows.next[r] = luma[8 + r] + 2;
  }
  rows.field_count = 1;
  EXPECT_TRUE(mosquito_nr_sse2_takes(rows, 16));
  EXPECT_FALSE(mosquito_nr_sse2_takes(rows, 7)) << "fewer than eight pixels";
  luma[10][19] = static_cast<int16_t>(500 + kMosquitoVectorSpan);
  EXPECT_TRUE(mosquito_nr_sse2_takes(rows, 16)) << "exactly the span fits";
  luma[10][19] = static_cast<int16_t>(501 + kMosquitoVectorSpan);
  EXPECT_FALSE(mosquito_nr_sse2_takes(rows, 16));
}
#endif

}  // namespace
