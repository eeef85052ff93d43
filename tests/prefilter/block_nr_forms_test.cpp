// The block noise reduction's fast form (block_nr_rows: the SSE2 row kernel
// where it applies) against its plain form, bit for bit: natural and extreme
// luma ranges (the kernel declines rows whose luma spans more than 32767),
// skin tones, both field modes, anime mode, widths whose interior is not a
// multiple of eight, and thresholds inside and outside the kernel's range.
#include <gtest/gtest.h>

#include <random>

#include "prefilter/block_nr.h"
#include "test_frames.h"

#if defined(__i386__) || defined(__x86_64__)
#include "engine/x86/block_nr_sse3.h"
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

TestFrame run(void (*rows)(const BlockNrJob&, int32_t, int32_t), const TestFrame& src, int32_t t1,
              int32_t t2, int32_t f, bool anime) {
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
  job.simd_level = 2;
  rows(job, 0, src.h);
  EXPECT_TRUE(prefilter_test::guards_intact(dst));
  return dst;
}

TEST(BlockNrForms, FastFormEqualsPlainForm) {
  struct Thresholds {
    int32_t t1, t2;
  };
  const Thresholds thresholds[] = {{0, 0},     {80, 160},   {250, 500},    {104, 208},
                                   {-5, 10},   {1000, 30000}, {40000, 70000}};
  uint32_t seed = 1;
  for (int32_t w : {12, 21, 64, 100}) {
    for (int32_t wild_row : {0, 5}) {
      const TestFrame src = frame(w, 24, seed++, wild_row);
      for (const Thresholds t : thresholds)
        for (int32_t f : {1, 2})
          for (bool anime : {false, true}) {
            const TestFrame fast = run(block_nr_rows, src, t.t1, t.t2, f, anime);
            const TestFrame plain = run(block_nr_rows_c, src, t.t1, t.t2, f, anime);
            ASSERT_EQ(prefilter_test::count_differences(fast, plain), 0)
                << "w " << w << " wild rows " << wild_row << " t1 " << t.t1 << " t2 " << t.t2
                << " f " << f << " anime " << anime;
          }
    }
  }
}

#if defined(__i386__) || defined(__x86_64__)
// The kernel really runs on rows of natural range (so the comparison above
// covers it) and declines a row set whose luma spans more than 32767.
TEST(BlockNrForms, KernelTakesNaturalRowsAndDeclinesWideOnes) {
  if (!__builtin_cpu_supports("sse3")) GTEST_SKIP() << "no SSE3 here";
  int16_t luma[5][20];
  const int16_t* rows[5];
  int16_t cb[16] = {}, cr[16] = {}, out[16];
  const BlockNrThresholds t{80, 160, 16, 32, true};
  for (int r = 0; r < 5; ++r) {
    for (int32_t i = 0; i < 20; ++i) luma[r][i] = static_cast<int16_t>(1000 + 7 * ((r * 20 + i) % 5));
    rows[r] = luma[r] + 2;
  }
  EXPECT_TRUE(block_nr_luma_sse3(rows, cb, cr, t, 16, out));
  luma[4][19] = 32767;
  luma[0][0] = -1;
  EXPECT_FALSE(block_nr_luma_sse3(rows, cb, cr, t, 16, out));
  luma[0][0] = 0;
  EXPECT_TRUE(block_nr_luma_sse3(rows, cb, cr, t, 16, out)) << "a span of exactly 32767 fits";
}
#endif

}  // namespace
