#include "prefilter/block_nr.h"

#include <gtest/gtest.h>

#include "support/kernel_levels.h"
#include "test_frames.h"

namespace {

using prefilter_test::TestFrame;

TestFrame run_block_nr(const TestFrame& src, int32_t t1, int32_t t2, int32_t field_count = 1,
                       bool anime = false, int32_t workers = 1) {
  TestFrame dst = prefilter_test::guard_frame(src);
  BlockNrJob job;
  job.src = src.data();
  job.dst = dst.data();
  job.stride = src.stride;
  job.w = src.w;
  job.h = src.h;
  job.field_count = field_count;
  job.t1 = t1;
  job.t2 = t2;
  job.anime = anime;
  job.kernels = &highest_kernels();
  prefilter_test::run_in_stripes(job, workers, block_nr_rows);
  EXPECT_TRUE(prefilter_test::guards_intact(dst));
  return dst;
}

// Flat luma `v` with one pixel at (8, 8) raised to v + a; all chroma as given.
TestFrame raised_pixel(int16_t v, int16_t a, int16_t cb = 0, int16_t cr = 0) {
  TestFrame f(16, 16, PIXEL_YC{v, cb, cr});
  f.at(8, 8).y = static_cast<int16_t>(v + a);
  return f;
}

TEST(BlockNr, ZeroStrengthCopiesTheFrame) {
  TestFrame src(32, 32);
  prefilter_test::fill_noise(src, 1, 1000, 30, 200);
  const TestFrame dst = run_block_nr(src, 0, 0);
  EXPECT_EQ(prefilter_test::count_differences(src, dst), 0);
}

// Every neighbour patch holds the raised pixel at the mirrored position, where
// the pixel's own patch holds v: its only difference is a.
TEST(BlockNr, RaisedPixelIsPulledTowardsTheFlatArea) {
  // m = v + 5, acc = 5 - 8 * 5 = -35, n = 9, q = (-35 + 4) / 9 = -3.
  EXPECT_EQ(run_block_nr(raised_pixel(500, 10), 80, 160).at(8, 8).y, 502);
  // m = v + 40, acc = 39 - 8 * 40 = -281, q = -277 / 9 = -30 (truncated).
  EXPECT_EQ(run_block_nr(raised_pixel(500, 79), 80, 160).at(8, 8).y, 510);
  // A difference of t1 or more rejects every neighbour.
  EXPECT_EQ(run_block_nr(raised_pixel(500, 80), 80, 160).at(8, 8).y, 580);
  EXPECT_EQ(run_block_nr(raised_pixel(500, 300), 80, 160).at(8, 8).y, 800);
  // The sum bound alone: d = 10 < t1, but the sum 10 is not below t2 = 10.
  EXPECT_EQ(run_block_nr(raised_pixel(500, 10), 80, 10).at(8, 8).y, 510);
  EXPECT_EQ(run_block_nr(raised_pixel(500, 10), 80, 11).at(8, 8).y, 502);
}

// With a = 20, T1 = 104 and T2 = 208, the pixel is accepted with the full
// thresholds (m = v + 10, acc = -70, q = -7) but not with T1 / 5 = 20.
TEST(BlockNr, SkinToneBoxUsesAFifthOfTheThresholds) {
  auto out = [](int16_t raised_y, int16_t cb, int16_t cr, bool anime) {
    const TestFrame src = raised_pixel(static_cast<int16_t>(raised_y - 20), 20, cb, cr);
    return run_block_nr(src, 104, 208, 1, anime).at(8, 8).y;
  };
  EXPECT_EQ(out(2000, 0, 100, false), 2000);  // inside: rejected
  EXPECT_EQ(out(2000, 0, 100, true), 1983);   // anime mode ignores the box
  // Every bound is exclusive.
  EXPECT_EQ(out(1400, 0, 100, false), 1383);
  EXPECT_EQ(out(3000, 0, 100, false), 2983);
  EXPECT_EQ(out(2000, -680, 100, false), 1983);
  EXPECT_EQ(out(2000, 280, 100, false), 1983);
  EXPECT_EQ(out(2000, 0, -50, false), 1983);
  EXPECT_EQ(out(2000, 0, 600, false), 1983);
  EXPECT_EQ(out(1401, 0, 100, false), 1401);
  EXPECT_EQ(out(2999, 0, 100, false), 2999);
  EXPECT_EQ(out(2000, -679, 599, false), 2000);
  EXPECT_EQ(out(2000, 279, -49, false), 2000);
  // T1 / 5 truncates: 105 / 5 = 21 accepts the difference of 20.
  const TestFrame src = raised_pixel(1980, 20, 0, 100);
  EXPECT_EQ(run_block_nr(src, 105, 210).at(8, 8).y, 1983);
}

// Luma 1000 x + g(y): every horizontal or diagonal neighbour differs by about
// 1000; the row profile g makes the upper neighbour match and the lower one
// not, so exactly one neighbour is accepted (n = 2) and acc = g(7).
TEST(BlockNr, QuotientRoundsHalfUpThenTruncatesTowardZero) {
  auto out = [](int16_t above, int16_t below) {
    TestFrame f(16, 16);
    for (int32_t y = 0; y < 16; ++y)
      for (int32_t x = 0; x < 16; ++x) {
        int32_t g = 0;
        if (y == 6 || y == 7) g = above;
        if (y == 9) g = below;
        if (y == 10) g = below + 500;
        f.at(x, y).y = static_cast<int16_t>(1000 * x + g);
      }
    return run_block_nr(f, 80, 160).at(8, 8).y;
  };
  // m = 8000 in all three; q = (acc + 1) / 2.
  EXPECT_EQ(out(3, -1), 8000 + 2);   // acc = 3
  EXPECT_EQ(out(-3, 1), 8000 - 1);   // acc = -3: (-2) / 2
  EXPECT_EQ(out(-4, 2), 8000 - 1);   // acc = -4: (-3) / 2 truncates to -1
}

// Around the pixel at (8, 8): background c = -2184, (7, 7) = 32767 and
// (6, 6) = -32768, so m = (15c + 32767 + 8) >> 4 = 0. Patch 0 equals the
// pixel's patch except at element 0, where the differences are 32767 and
// -32768: 65535 apart in 32 bits, 1 apart if subtracted in 16 bits.
TEST(BlockNr, AbsoluteDifferencesAreFormedIn32Bits) {
  TestFrame f(16, 16, PIXEL_YC{-2184, 0, 0});
  f.at(7, 7).y = 32767;
  f.at(6, 6).y = -32768;
  EXPECT_EQ(run_block_nr(f, 80, 160).at(8, 8).y, -2184);
}

// Background 0, (7, 7) = 32767 and (6, 6) = -32768 give m = 2048; the
// differences 30719 and -34816 are stored as int16, the second wrapping to
// 30720, so patch 0 differs by 1 and is accepted: acc = -2048 + 30719,
// q = 14336, output 2048 + 14336.
TEST(BlockNr, DifferencesAreStoredAsWrappingInt16) {
  TestFrame f(16, 16);
  f.at(7, 7).y = 32767;
  f.at(6, 6).y = -32768;
  EXPECT_EQ(run_block_nr(f, 80, 160).at(8, 8).y, 16384);
}

TEST(BlockNr, MarginsAndChromaAreCopied) {
  for (int32_t f : {1, 2}) {
    TestFrame src(32, 32);
    prefilter_test::fill_noise(src, 7 + f, 1000, 40, 300);
    const TestFrame dst = run_block_nr(src, 1000, 2000, f);
    int32_t changed = 0;
    for (int32_t y = 0; y < src.h; ++y)
      for (int32_t x = 0; x < src.w; ++x) {
        const bool margin = y < 2 * f || y >= src.h - 2 * f || x < 2 || x >= src.w - 2;
        if (margin) {
          EXPECT_TRUE(prefilter_test::same_pixel(src.at(x, y), dst.at(x, y)))
              << "f " << f << " x " << x << " y " << y;
        } else {
          changed += src.at(x, y).y != dst.at(x, y).y;
        }
        EXPECT_EQ(dst.at(x, y).cb, src.at(x, y).cb);
        EXPECT_EQ(dst.at(x, y).cr, src.at(x, y).cr);
      }
    EXPECT_GT(changed, (src.w - 4) * (src.h - 4 * f) / 2) << "f " << f;
  }
}

TEST(BlockNr, PerFieldModeNeverMixesTheFields) {
  TestFrame a(32, 32);
  prefilter_test::fill_noise(a, 21, 1000, 40, 300);
  TestFrame b = a;
  TestFrame other(32, 32);
  prefilter_test::fill_noise(other, 22, 1000, 40, 300);
  for (int32_t y = 1; y < a.h; y += 2)
    for (int32_t x = 0; x < a.w; ++x) b.at(x, y) = other.at(x, y);
  const TestFrame out_a = run_block_nr(a, 80, 160, 2);
  const TestFrame out_b = run_block_nr(b, 80, 160, 2);
  for (int32_t y = 0; y < a.h; y += 2)
    for (int32_t x = 0; x < a.w; ++x) ASSERT_EQ(out_a.at(x, y).y, out_b.at(x, y).y);
  // Frame-wise processing does mix them.
  const TestFrame mixed_a = run_block_nr(a, 80, 160, 1);
  const TestFrame mixed_b = run_block_nr(b, 80, 160, 1);
  int32_t even_rows_changed = 0;
  for (int32_t y = 0; y < a.h; y += 2)
    for (int32_t x = 0; x < a.w; ++x) even_rows_changed += mixed_a.at(x, y).y != mixed_b.at(x, y).y;
  EXPECT_GT(even_rows_changed, 0);
}

TEST(BlockNr, WorkerStripesMeetWithoutSeams) {
  TestFrame src(48, 32);
  prefilter_test::fill_noise(src, 5, 2000, 30, 120);
  for (int32_t f : {1, 2})
    for (bool anime : {false, true}) {
      const TestFrame one = run_block_nr(src, 80, 160, f, anime, 1);
      EXPECT_GT(prefilter_test::count_differences(src, one), 0);
      for (int32_t workers = 2; workers <= 5; ++workers)
        EXPECT_EQ(prefilter_test::count_differences(one,
                                                    run_block_nr(src, 80, 160, f, anime, workers)),
                  0)
            << "f " << f << " anime " << anime << " workers " << workers;
    }
}

}  // namespace
