#include "prefilter/mosquito_nr.h"

#include <gtest/gtest.h>

#include "support/kernel_levels.h"
#include "test_frames.h"

namespace {

using prefilter_test::TestFrame;

struct Frames {
  TestFrame cur;
  TestFrame prev;
  TestFrame next;
};

TestFrame run_mosquito(const TestFrame& cur, const TestFrame* prev, const TestFrame* next,
                       int32_t t3, int32_t field_count = 1, int32_t workers = 1) {
  TestFrame dst = prefilter_test::guard_frame(cur);
  MosquitoNrJob job;
  job.cur = cur.data();
  job.prev = prev->data();
  job.next = next->data();
  job.dst = dst.data();
  job.stride = cur.stride;
  job.w = cur.w;
  job.h = cur.h;
  job.field_count = field_count;
  job.t3 = t3;
  job.kernels = &highest_kernels();
  prefilter_test::run_in_stripes(job, workers, mosquito_nr_rows);
  EXPECT_TRUE(prefilter_test::guards_intact(dst));
  return dst;
}

TestFrame run_mosquito(const Frames& f, int32_t t3, int32_t field_count = 1, int32_t workers = 1) {
  return run_mosquito(f.cur, &f.prev, &f.next, t3, field_count, workers);
}

// Every sample of the three frames is v + 1000 except the pixel (8, 8) of the
// current frame, which is v: every line then costs 2000, so only the samples
// a test sets can make a line flat.
Frames isolated_pixel(int16_t v) {
  const PIXEL_YC far{static_cast<int16_t>(v + 1000), 0, 0};
  Frames f{TestFrame(16, 16, far), TestFrame(16, 16, far), TestFrame(16, 16, far)};
  f.cur.at(8, 8).y = v;
  return f;
}

int16_t centre(const TestFrame& out) { return out.at(8, 8).y; }

TEST(MosquitoNr, StraightLineThroughTime) {
  Frames f = isolated_pixel(100);
  EXPECT_EQ(centre(run_mosquito(f, 80)), 100);  // no flat line
  // Cost |104 + 98 - 200| + |104 - 98| = 8, S = 302, trunc(100.67 + 0.5).
  f.prev.at(8, 8).y = 104;
  f.next.at(8, 8).y = 98;
  EXPECT_EQ(centre(run_mosquito(f, 80)), 101);
}

TEST(MosquitoNr, LineMustCostLessThanTwiceT3) {
  Frames f = isolated_pixel(100);
  f.prev.at(8, 8).y = 180;
  f.next.at(8, 8).y = 180;  // cost 160
  EXPECT_EQ(centre(run_mosquito(f, 80)), 100);
  EXPECT_EQ(centre(run_mosquito(f, 81)), 153);  // S = 460, trunc(153.33 + 0.5)
  f.prev.at(8, 8).y = 179;
  f.next.at(8, 8).y = 179;  // cost 158, S = 458, trunc(152.67 + 0.5)
  EXPECT_EQ(centre(run_mosquito(f, 80)), 153);
}

TEST(MosquitoNr, TiesGoToTheEarlierLine) {
  {
    Frames f = isolated_pixel(100);
    f.prev.at(8, 8).y = 102;  // line 1: cost 4, S = 304
    f.next.at(8, 8).y = 102;
    f.prev.at(7, 8).y = 98;   // line 2: cost 4, S = 296
    f.next.at(9, 8).y = 98;
    EXPECT_EQ(centre(run_mosquito(f, 80)), 101);
    f.prev.at(7, 8).y = 99;   // line 2: cost 2, S = 298 wins
    f.next.at(9, 8).y = 99;
    EXPECT_EQ(centre(run_mosquito(f, 80)), 99);
  }
  {
    Frames f = isolated_pixel(100);
    f.cur.at(6, 8).y = 102;   // line 9: cost 4, S = 304
    f.cur.at(10, 8).y = 102;
    f.cur.at(7, 8).y = 98;    // line 10: cost 4, S = 296
    f.cur.at(9, 8).y = 98;
    EXPECT_EQ(centre(run_mosquito(f, 80)), 101);
    f.cur.at(9, 7).y = 99;    // line 17: cost 2, S = 298, later but cheaper
    f.cur.at(7, 9).y = 99;
    EXPECT_EQ(centre(run_mosquito(f, 80)), 99);
  }
}

// Column 8 holds 290, -310 above and -310, 290 below the pixel (v = -10), so
// the plain vertical lines cost 600, while line 18 takes each end as a mean of
// two rows: (-19) / 2 = -9 truncated (a floor would give -10). Cost 2,
// S = -28, trunc(-9.33 + 0.5) = -8 (with floors: S = -30, -9).
TEST(MosquitoNr, TwoRowMeansTruncateTowardZero) {
  Frames f = isolated_pixel(-10);
  f.cur.at(8, 6).y = -310;
  f.cur.at(8, 7).y = 290;
  f.cur.at(8, 9).y = -310;
  f.cur.at(8, 10).y = 290;
  EXPECT_EQ(centre(run_mosquito(f, 80)), -8);
}

// With no flat line the output is trunc(3v / 3 + 0.5): v for v >= 0, but
// v + 1 for negative v, for every 16-bit value.
TEST(MosquitoNr, ZeroStrengthRoundsNegativeLumaUp) {
  TestFrame cur(272, 261);
  int32_t value = -32768;
  for (int32_t y = 2; y < cur.h - 2; ++y)
    for (int32_t x = 2; x < cur.w - 2; ++x) {
      cur.at(x, y) = PIXEL_YC{static_cast<int16_t>(value), 7, -7};
      value = value == 32767 ? -32768 : value + 1;
    }
  ASSERT_GE((cur.w - 4) * (cur.h - 4), 65536);
  const TestFrame out = run_mosquito(cur, &cur, &cur, 0);
  for (int32_t y = 2; y < cur.h - 2; ++y)
    for (int32_t x = 2; x < cur.w - 2; ++x) {
      const int32_t v = cur.at(x, y).y;
      ASSERT_EQ(out.at(x, y).y, v < 0 ? v + 1 : v) << "v " << v;
    }
  Frames f = isolated_pixel(-5);
  EXPECT_EQ(centre(run_mosquito(f, 0)), -4);
}

TEST(MosquitoNr, PerFieldModeUsesSameFieldRowsForFieldLines) {
  {  // line 8 spans y - f .. y + f
    Frames f = isolated_pixel(100);
    f.cur.at(8, 6).y = 102;
    f.cur.at(8, 10).y = 102;
    EXPECT_EQ(centre(run_mosquito(f, 80, 2)), 101);
    EXPECT_EQ(centre(run_mosquito(f, 80, 1)), 100);
  }
  {  // line 6 spans the previous frame's row y - f and the next frame's y + f
    Frames f = isolated_pixel(100);
    f.prev.at(8, 6).y = 102;
    f.next.at(8, 10).y = 102;
    EXPECT_EQ(centre(run_mosquito(f, 80, 2)), 101);
    EXPECT_EQ(centre(run_mosquito(f, 80, 1)), 100);
  }
  {  // line 15 spans the adjacent frame rows in both modes
    Frames f = isolated_pixel(100);
    f.cur.at(8, 7).y = 98;
    f.cur.at(8, 9).y = 98;
    EXPECT_EQ(centre(run_mosquito(f, 80, 2)), 99);
    EXPECT_EQ(centre(run_mosquito(f, 80, 1)), 99);
  }
}

// At the clip's first frame the driver passes the current frame as the
// previous one: line 1 then runs from v itself to the next frame's sample.
TEST(MosquitoNr, CurrentFrameStandsInForAMissingNeighbour) {
  Frames f = isolated_pixel(100);
  f.next.at(8, 8).y = 104;  // cost |204 - 200| + 4 = 8, S = 304
  EXPECT_EQ(centre(run_mosquito(f.cur, &f.cur, &f.next, 80)), 101);
}

TEST(MosquitoNr, MarginsAndChromaAreCopied) {
  for (int32_t field_count : {1, 2}) {
    Frames f{TestFrame(32, 32), TestFrame(32, 32), TestFrame(32, 32)};
    prefilter_test::fill_noise(f.cur, 31, 1000, 30, 300);
    prefilter_test::fill_noise(f.prev, 32, 1000, 30, 300);
    prefilter_test::fill_noise(f.next, 33, 1000, 30, 300);
    const TestFrame out = run_mosquito(f, 400, field_count);
    int32_t changed = 0;
    for (int32_t y = 0; y < 32; ++y)
      for (int32_t x = 0; x < 32; ++x) {
        if (y < 2 || y >= 30 || x < 2 || x >= 30) {
          EXPECT_TRUE(prefilter_test::same_pixel(out.at(x, y), f.cur.at(x, y)))
              << "x " << x << " y " << y;
        } else {
          changed += out.at(x, y).y != f.cur.at(x, y).y;
        }
        EXPECT_EQ(out.at(x, y).cb, f.cur.at(x, y).cb);
        EXPECT_EQ(out.at(x, y).cr, f.cur.at(x, y).cr);
      }
    EXPECT_GT(changed, 28 * 28 / 2);
  }
}

TEST(MosquitoNr, WorkerStripesMeetWithoutSeams) {
  Frames f{TestFrame(48, 32), TestFrame(48, 32), TestFrame(48, 32)};
  prefilter_test::fill_noise(f.cur, 41, 500, 60, 100);
  prefilter_test::fill_noise(f.prev, 42, 500, 60, 100);
  prefilter_test::fill_noise(f.next, 43, 500, 60, 100);
  for (int32_t field_count : {1, 2}) {
    const TestFrame one = run_mosquito(f, 40, field_count, 1);
    EXPECT_GT(prefilter_test::count_differences(one, f.cur), 0);
    for (int32_t workers = 2; workers <= 5; ++workers)
      EXPECT_EQ(prefilter_test::count_differences(one, run_mosquito(f, 40, field_count, workers)), 0)
          << "f " << field_count << " workers " << workers;
  }
}

}  // namespace
