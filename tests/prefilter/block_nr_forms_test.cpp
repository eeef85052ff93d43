// The block noise reduction at every kernel level against the plain level,
// bit for bit: natural and extreme luma ranges (the SSE2 form hands rows whose
// luma spans more than 32767 to the plain form), skin tones, both field modes,
// anime mode, widths whose interior is not a multiple of eight, and
// thresholds inside and outside the SSE2 form's 16-bit range.
#include <gtest/gtest.h>

#include <random>

#include "plugin/kernel_level.h"
#include "prefilter/block_nr.h"
#include "support/kernel_levels.h"
#include "test_frames.h"

#if defined(__i386__) || defined(__x86_64__)
#include "prefilter/x86/block_nr_sse2.h"
#endif

namespace {

using prefilter_test::TestFrame;

// Luma base + noise, chroma over a range that puts about a third of the
// pixels into the skin-tone box; every `wild_row`-th row (0: none) gets
// luma over the whole 16-bit range.
TestFrame frame(int32_t w, int32_t h, uint32_t seed, int32_t wild_row) {
  TestFrame f(w, h);
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int32_t> luma(1300, 3100), grain(-60, 60), chroma(-800, 700);
  std::uniform_int_distribution<int32_t> wild(-32768, 32767);
  for (int32_t y = 0; y < h; ++y) {
    const int32_t base = luma(rng);
    for (int32_t x = 0; x < w; ++x) {
      const bool extreme = wild_row > 0 && y % wild_row == 0;
      f.at(x, y) = PIXEL_YC{static_cast<int16_t>(extreme ? wild(rng) : base + grain(rng)),
                            static_cast<int16_t>(chroma(rng)), static_cast<int16_t>(chroma(rng))};
    }
  }
  return f;
}

TestFrame run(const EngineKernels& kernels, const TestFrame& src, int32_t t1, int32_t t2,
              int32_t f, bool anime) {
  TestFrame dst = prefilter_test::guard_frame(src);
  BlockNrJob job;
  job.src = src.data();
  job.dst = dst.data();
  job.stride = src.stride;
  job.w = src.w;
  job.h = src.h;
  job.field_count = f;
  job.t1 = t1;
  job.t2 = t2;
  job.anime = anime;
  job.kernels = &kernels;
  block_nr_rows(job, 0, src.h);
  EXPECT_TRUE(prefilter_test::guards_intact(dst));
  return dst;
}

TEST(BlockNrForms, EveryLevelEqualsThePlainLevel) {
  struct Thresholds {
    int32_t t1, t2;
  };
  const Thresholds thresholds[] = {{0, 0},     {80, 160},   {250, 500},    {104, 208},
                                   {-5, 10},   {1000, 30000}, {40000, 70000}};
  const EngineKernels plain = engine_kernels(KernelLevel::kPlain);
  for (KernelLevel level : runnable_kernel_levels()) {
    if (level == KernelLevel::kPlain) continue;
    const EngineKernels kernels = engine_kernels(level);
    // The SSE3 level brings the SSE2 form; comparing the plain form with
    // itself would prove nothing.
    if (level >= KernelLevel::kSse3) {
      ASSERT_NE(kernels.block_nr_luma, plain.block_nr_luma);
    }
    uint32_t seed = 1;
    for (int32_t w : {12, 21, 64, 100}) {
      for (int32_t wild_row : {0, 5}) {
        const TestFrame src = frame(w, 24, seed++, wild_row);
        for (const Thresholds t : thresholds)
          for (int32_t f : {1, 2})
            for (bool anime : {false, true}) {
              const TestFrame actual = run(kernels, src, t.t1, t.t2, f, anime);
              const TestFrame expected = run(plain, src, t.t1, t.t2, f, anime);
              ASSERT_EQ(prefilter_test::count_differences(actual, expected), 0)
                  << kernel_level_name(level) << ": w " << w << " wild rows " << wild_row
                  << " t1 " << t.t1 << " t2 " << t.t2 << " f " << f << " anime " << anime;
            }
      }
    }
  }
  note_skipped_levels("block NR at the levels not run here");
}

#if defined(__i386__) || defined(__x86_64__)
// The SSE2 form computes rows of natural range itself (so the comparison
// above covers it) and hands a row set whose luma spans more than 32767, or
// thresholds beyond 16 bits, to the plain form.
TEST(BlockNrForms, Sse2FormTakesNaturalRowsAndHandsOnWideOnes) {
  if (highest_kernel_level() < KernelLevel::kSse3) {
    GTEST_SKIP() << "the SSE3 level does not run here";
  }
  int16_t luma[5][20];
  const int16_t* rows[5];
  const BlockNrThresholds t{80, 160, true};
  for (int r = 0; r < 5; ++r) {
    for (int32_t i = 0; i < 20; ++i) luma[r][i] = static_cast<int16_t>(1000 + 7 * ((r * 20 + i) % 5));
    rows[r] = luma[r] + 2;
  }
  EXPECT_TRUE(block_nr_sse2_takes(rows, t, 16));
  EXPECT_FALSE(block_nr_sse2_takes(rows, t, 7)) << "fewer than eight pixels";
  EXPECT_FALSE(block_nr_sse2_takes(rows, BlockNrThresholds{80, 40000, true}, 16));
  luma[4][19] = 32767;
  luma[0][0] = -1;
  EXPECT_FALSE(block_nr_sse2_takes(rows, t, 16));
  luma[0][0] = 0;
  EXPECT_TRUE(block_nr_sse2_takes(rows, t, 16)) << "a span of exactly 32767 fits";
}
#endif

}  // namespace
