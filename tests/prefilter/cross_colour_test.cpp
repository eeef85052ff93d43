#include "prefilter/cross_colour.h"

#include <gtest/gtest.h>

#include "test_frames.h"

namespace {

using prefilter_test::TestFrame;

constexpr int32_t kWidth = 64;
constexpr int32_t kProbe = 28;  // a column within eight of the edge

// Five frames 64 x 2 whose luma steps from 0 to 1000 between columns 31 and
// 32, which opens the gate for columns 24 .. 39; chroma is 0 everywhere.
struct Clip {
  TestFrame prev2{kWidth, 2};
  TestFrame prev1{kWidth, 2};
  TestFrame cur{kWidth, 2};
  TestFrame next1{kWidth, 2};
  TestFrame next2{kWidth, 2};

  Clip() {
    for (TestFrame* f : {&prev2, &prev1, &cur, &next1, &next2})
      for (int32_t y = 0; y < f->h; ++y)
        for (int32_t x = 0; x < f->w; ++x) f->at(x, y).y = x < 32 ? 0 : 1000;
  }
};

void set_cb(TestFrame& f, int16_t cb) {
  for (int32_t y = 0; y < f.h; ++y)
    for (int32_t x = 0; x < f.w; ++x) f.at(x, y).cb = cb;
}

void set_cr(TestFrame& f, int16_t cr) {
  for (int32_t y = 0; y < f.h; ++y)
    for (int32_t x = 0; x < f.w; ++x) f.at(x, y).cr = cr;
}

void add_luma(TestFrame& f, int32_t offset) {
  for (int32_t y = 0; y < f.h; ++y)
    for (int32_t x = 0; x < f.w; ++x) f.at(x, y).y = static_cast<int16_t>(f.at(x, y).y + offset);
}

void reduce(TestFrame& cur, const TestFrame& prev2, const TestFrame& prev1, const TestFrame& next1,
            const TestFrame& next2, int32_t strength) {
  CrossColourJob job;
  job.cur = cur.data();
  job.prev2 = prev2.data();
  job.prev1 = prev1.data();
  job.next1 = next1.data();
  job.next2 = next2.data();
  job.stride = cur.stride;
  job.w = cur.w;
  job.h = cur.h;
  job.strength = strength;
  cross_colour_reduce(job);
  EXPECT_TRUE(prefilter_test::guards_intact(cur));
}

// Runs the stage on a copy of the clip's current frame and returns the
// probe pixel.
PIXEL_YC reduce_probe(const Clip& clip, int32_t strength) {
  TestFrame cur = clip.cur;
  reduce(cur, clip.prev2, clip.prev1, clip.next1, clip.next2, strength);
  return cur.at(kProbe, 1);
}

int16_t probe_cb(const Clip& clip, int32_t strength = 10) { return reduce_probe(clip, strength).cb; }

// Cur's Cb stands out against both direct neighbours (flag 0x10).
Clip cur_stands_out(int16_t next1_cb, int16_t prev1_cb) {
  Clip c;
  set_cb(c.next1, next1_cb);
  set_cb(c.prev1, prev1_cb);
  return c;
}

TEST(CrossColour, OutlierBetweenMatchingNeighboursIsAveraged) {
  EXPECT_EQ(probe_cb(cur_stands_out(150, 150)), 75);    // (150 + 0 + 150) >> 2
  EXPECT_EQ(probe_cb(cur_stands_out(-150, -151)), -76);  // -301 >> 2 rounds down
  EXPECT_EQ(probe_cb(cur_stands_out(150, -150)), 0);    // opposite signs
  // Cr behaves alike and independently of Cb.
  Clip c;
  set_cr(c.next1, -300);
  set_cr(c.prev1, -200);
  const PIXEL_YC p = reduce_probe(c, 10);
  EXPECT_EQ(p.cr, -125);
  EXPECT_EQ(p.cb, 0);
  EXPECT_EQ(p.y, 0);
}

TEST(CrossColour, NeighbourOutlierUsesTheMatchingSide) {
  {  // next1 does not match: prev1's Cb outlier (0x01) with prev2
    Clip c;
    add_luma(c.next1, 100);
    set_cb(c.prev1, 150);
    EXPECT_EQ(probe_cb(c), 37);  // (0 + 0 + 150) >> 2
    add_luma(c.prev2, 100);      // prev2 must match too
    EXPECT_EQ(probe_cb(c), 0);
  }
  {  // prev1 does not match: next1's Cr outlier (0x08) with next2
    Clip c;
    add_luma(c.prev1, -100);
    set_cr(c.next1, -150);
    set_cr(c.next2, 40);
    EXPECT_EQ(reduce_probe(c, 10).cr, -28);  // (40 + 0 - 150) >> 2
    add_luma(c.next2, -100);
    EXPECT_EQ(reduce_probe(c, 10).cr, 0);
  }
  {  // neither direct neighbour matches
    Clip c = cur_stands_out(150, 150);
    add_luma(c.prev1, 100);
    add_luma(c.next1, 100);
    EXPECT_EQ(probe_cb(c), 0);
  }
}

// L(cur) - L(f) must lie in -70 .. 69; a uniform luma offset o moves L by o.
// next2 carries next1's Cb, so that without a matching prev1 nothing is left
// to correct.
TEST(CrossColour, LumaMatchWindow) {
  auto with_prev1_offset = [](int32_t offset) {
    Clip c = cur_stands_out(150, 150);
    set_cb(c.next2, 150);
    add_luma(c.prev1, offset);
    return probe_cb(c);
  };
  EXPECT_EQ(with_prev1_offset(70), 75);
  EXPECT_EQ(with_prev1_offset(71), 0);
  EXPECT_EQ(with_prev1_offset(-69), 75);
  EXPECT_EQ(with_prev1_offset(-70), 0);
}

// T = 10 x strength; a difference counts when its size exceeds T.
TEST(CrossColour, DifferencesMustExceedTheThreshold) {
  EXPECT_EQ(probe_cb(cur_stands_out(100, 150), 10), 0);
  EXPECT_EQ(probe_cb(cur_stands_out(101, 150), 10), 62);
  EXPECT_EQ(probe_cb(cur_stands_out(-100, -150), 10), 0);
  EXPECT_EQ(probe_cb(cur_stands_out(-101, -150), 10), -63);
  EXPECT_EQ(probe_cb(cur_stands_out(3, 2), 0), 1);  // T = 0: any size counts
  EXPECT_EQ(probe_cb(cur_stands_out(0, 8), 0), 0);  // 0 is never larger than T
  EXPECT_EQ(probe_cb(cur_stands_out(200, 300), 20), 0);
  EXPECT_EQ(probe_cb(cur_stands_out(201, 300), 20), 125);
}

TEST(CrossColour, JumpsOf500OrMoreAreNotCrossColour) {
  EXPECT_EQ(probe_cb(cur_stands_out(499, 150)), 162);   // (499 + 150) >> 2
  EXPECT_EQ(probe_cb(cur_stands_out(500, 150)), 0);
  EXPECT_EQ(probe_cb(cur_stands_out(-500, -150)), -163);
  EXPECT_EQ(probe_cb(cur_stands_out(-501, -150)), 0);
}

// Flag 0x01 (next1 not matching): d1 = prev1 - cur, d2 = prev1 - prev2. The
// product of 200 and 200 is 40000, which a 16-bit multiply turns negative;
// 200 x -200 would turn positive.
TEST(CrossColour, SameSignProductDoesNotWrap) {
  auto out = [](int16_t prev1_cb, int16_t prev2_cb) {
    Clip c;
    add_luma(c.next1, 100);
    set_cb(c.cur, 8);
    set_cb(c.prev1, prev1_cb);
    set_cb(c.prev2, prev2_cb);
    return probe_cb(c);
  };
  EXPECT_EQ(out(208, 8), 58);     // d1 = d2 = 200: (8 + 16 + 208) >> 2
  EXPECT_EQ(out(-192, 8), -42);   // d1 = d2 = -200: (8 + 16 - 192) >> 2
  EXPECT_EQ(out(208, 408), 8);    // d1 = 200, d2 = -200
  EXPECT_EQ(out(-192, -392), 8);  // d1 = -200, d2 = 200
}

// The comparisons take the 32-bit difference modulo 65536: 32700 - (-32600)
// = 65300 passes as a jump of -236, since 65300 + 500 = 264 (mod 65536).
TEST(CrossColour, ComparisonsTakeTheDifferenceModulo65536) {
  Clip c = cur_stands_out(32700, -32750);
  set_cb(c.cur, -32600);
  EXPECT_EQ(probe_cb(c), -16313);  // (32700 - 65200 - 32750) >> 2
}

// Steps of 210 in size are flat; 211 opens the gate for the columns whose
// sixteen steps include it.
TEST(CrossColour, EdgeGate) {
  for (int32_t step : {210, 211, -210, -211}) {
    Clip c = cur_stands_out(150, 150);
    for (TestFrame* f : {&c.prev2, &c.prev1, &c.cur, &c.next1, &c.next2})
      for (int32_t y = 0; y < f->h; ++y)
        for (int32_t x = 0; x < f->w; ++x) f->at(x, y).y = static_cast<int16_t>(x <= 30 ? step : 0);
    TestFrame cur = c.cur;
    reduce(cur, c.prev2, c.prev1, c.next1, c.next2, 10);
    const bool steep = step == 211 || step == -211;
    for (int32_t y = 0; y < cur.h; ++y)
      for (int32_t x = 0; x < cur.w; ++x) {
        const bool gated = steep && x >= 30 - 7 && x <= 30 + 8;
        EXPECT_EQ(cur.at(x, y).cb, gated ? 75 : 0) << "step " << step << " x " << x;
      }
  }
}

// Frames with luma edges everywhere and random chroma, so that flags are set
// and corrections happen wherever the five frames allow. The neighbours' luma
// is the current frame's plus an offset of -40 .. 109 that varies by place, so
// every match outcome occurs.
struct NoisyClip {
  TestFrame frames[5];
  explicit NoisyClip(int32_t w, uint32_t seed)
      : frames{TestFrame(w, 16), TestFrame(w, 16), TestFrame(w, 16), TestFrame(w, 16),
               TestFrame(w, 16)} {
    for (int32_t i = 0; i < 5; ++i) prefilter_test::fill_noise(frames[i], seed + i, 1000, 400, 300);
    for (int32_t i : {0, 1, 3, 4})
      for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < w; ++x) {
          const int32_t offset = (x * 7 + y * 13 + i * 29) % 150 - 40;
          frames[i].at(x, y).y = static_cast<int16_t>(frames[2].at(x, y).y + offset);
        }
  }
};

TEST(CrossColour, OnlyInteriorChromaChanges) {
  NoisyClip clip(64, 100);
  TestFrame cur = clip.frames[2];
  reduce(cur, clip.frames[0], clip.frames[1], clip.frames[3], clip.frames[4], 3);
  int32_t changed = 0;
  for (int32_t y = 0; y < cur.h; ++y)
    for (int32_t x = 0; x < cur.w; ++x) {
      const PIXEL_YC& before = clip.frames[2].at(x, y);
      const PIXEL_YC& after = cur.at(x, y);
      EXPECT_EQ(after.y, before.y);
      if (x < 8 || x >= cur.w - 8) {
        EXPECT_TRUE(prefilter_test::same_pixel(after, before)) << "x " << x << " y " << y;
      }
      changed += prefilter_test::same_pixel(after, before) ? 0 : 1;
    }
  EXPECT_GT(changed, 0);
  // At most 16 wide, nothing is examined.
  NoisyClip narrow(16, 200);
  TestFrame narrow_cur = narrow.frames[2];
  reduce(narrow_cur, narrow.frames[0], narrow.frames[1], narrow.frames[3], narrow.frames[4], 0);
  EXPECT_EQ(prefilter_test::count_differences(narrow_cur, narrow.frames[2]), 0);
}

// Outside the clip the driver passes the current frame for the missing
// neighbours.
TEST(CrossColour, ClipEnds) {
  NoisyClip clip(64, 300);
  const TestFrame& original = clip.frames[2];
  {  // first frame
    TestFrame cur = original;
    reduce(cur, cur, cur, clip.frames[3], clip.frames[4], 0);
    EXPECT_EQ(prefilter_test::count_differences(cur, original), 0);
  }
  {  // last frame
    TestFrame cur = original;
    reduce(cur, clip.frames[0], clip.frames[1], cur, cur, 0);
    EXPECT_EQ(prefilter_test::count_differences(cur, original), 0);
  }
  {  // second and last but one frames: corrections happen
    TestFrame cur = original;
    reduce(cur, cur, clip.frames[1], clip.frames[3], clip.frames[4], 0);
    EXPECT_GT(prefilter_test::count_differences(cur, original), 0);
    cur = original;
    reduce(cur, clip.frames[0], clip.frames[1], clip.frames[3], cur, 0);
    EXPECT_GT(prefilter_test::count_differences(cur, original), 0);
  }
  {  // second frame, worked: next1 does not match, prev1's Cb stands out
    // against cur, which also stands in for prev2
    Clip c;
    add_luma(c.next1, 100);
    set_cb(c.prev1, 150);
    TestFrame cur = c.cur;
    reduce(cur, cur, c.prev1, c.next1, c.next2, 10);
    EXPECT_EQ(cur.at(kProbe, 0).cb, 37);
  }
}

}  // namespace
