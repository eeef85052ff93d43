// The cross-colour stage's fast form (cross_colour_reduce: the edge gate kept
// as a sliding bit mask, branch-free pair tests) against its plain form, bit
// for bit: luma with and without steep steps, chroma differences around every
// bound of the pair test and over the whole 16-bit range, strengths that make
// T zero, ordinary, or wrap in 16 bits, and missing neighbours.
#include <gtest/gtest.h>

#include <random>

#include "prefilter/cross_colour.h"
#include "test_frames.h"

namespace {

using prefilter_test::TestFrame;

// Luma: flat stretches broken by steps of random size (many above 210);
// chroma: around `chroma_base` with jumps of up to `chroma_jump`.
TestFrame frame(int32_t w, int32_t h, uint32_t seed, int32_t chroma_base, int32_t chroma_jump) {
  TestFrame f(w, h);
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int32_t> step(-400, 400), stretch(1, 20), jump(-chroma_jump, chroma_jump);
  for (int32_t y = 0; y < h; ++y) {
    int32_t luma = 1000, left = stretch(rng);
    for (int32_t x = 0; x < w; ++x) {
      if (--left == 0) {
        luma += step(rng);
        left = stretch(rng);
      }
      f.at(x, y) = PIXEL_YC{static_cast<int16_t>(luma), static_cast<int16_t>(chroma_base + jump(rng)),
                            static_cast<int16_t>(chroma_base - jump(rng))};
    }
  }
  return f;
}

TestFrame run(void (*reduce)(const CrossColourJob&), const TestFrame& original,
              const TestFrame* neighbours[4], int32_t strength) {
  TestFrame cur = original;
  CrossColourJob job;
  job.cur = cur.data();
  job.prev2 = neighbours[0] ? neighbours[0]->data() : nullptr;
  job.prev1 = neighbours[1] ? neighbours[1]->data() : nullptr;
  job.next1 = neighbours[2] ? neighbours[2]->data() : nullptr;
  job.next2 = neighbours[3] ? neighbours[3]->data() : nullptr;
  job.stride = cur.stride;
  job.w = cur.w;
  job.h = cur.h;
  job.strength = strength;
  reduce(job);
  EXPECT_TRUE(prefilter_test::guards_intact(cur));
  return cur;
}

TEST(CrossColourForms, FastFormEqualsPlainForm) {
  struct Chroma {
    int32_t base, jump;
  };
  const Chroma kinds[] = {{0, 300}, {-200, 700}, {0, 32767}};
  uint32_t seed = 1;
  for (int32_t w : {17, 24, 90}) {
    for (const Chroma c : kinds) {
      const TestFrame cur = frame(w, 6, seed++, c.base, c.jump);
      TestFrame others[4] = {frame(w, 6, seed++, c.base, c.jump), frame(w, 6, seed++, c.base, c.jump),
                             frame(w, 6, seed++, c.base, c.jump), frame(w, 6, seed++, c.base, c.jump)};
      // Neighbours share luma with cur, off by small amounts, so that the
      // luma match goes both ways.
      std::mt19937 rng(seed++);
      std::uniform_int_distribution<int32_t> off(-90, 90);
      for (TestFrame& o : others)
        for (int32_t y = 0; y < cur.h; ++y)
          for (int32_t x = 0; x < w; ++x) o.at(x, y).y = static_cast<int16_t>(cur.at(x, y).y + off(rng));
      for (int32_t strength : {0, 5, 20, 3277})
        for (int missing = 0; missing < 3; ++missing) {
          // 0: all four; 1: the previous ones outside the clip; 2: the next ones.
          const TestFrame* n[4] = {&others[0], &others[1], &others[2], &others[3]};
          if (missing == 1) n[0] = n[1] = nullptr;
          if (missing == 2) n[2] = n[3] = nullptr;
          const TestFrame fast = run(cross_colour_reduce, cur, n, strength);
          const TestFrame plain = run(cross_colour_reduce_c, cur, n, strength);
          ASSERT_EQ(prefilter_test::count_differences(fast, plain), 0)
              << "w " << w << " chroma jump " << c.jump << " strength " << strength << " missing "
              << missing;
          if (strength == 5 && missing == 0 && c.jump == 300 && w == 90) {
            EXPECT_GT(prefilter_test::count_differences(fast, cur), 0) << "nothing was corrected";
          }
        }
    }
  }
}

}  // namespace
