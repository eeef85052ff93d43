#include "cli/commands/plan_command.h"

#include <gtest/gtest.h>

namespace {

// The parts cover the clip one after another, none empty.
void expect_cover(const std::vector<FrameRange>& parts, int64_t frames) {
  int64_t next = 0;
  for (const FrameRange& part : parts) {
    EXPECT_EQ(part.first, next);
    EXPECT_GT(part.end, part.first);
    next = part.end;
  }
  EXPECT_EQ(next, frames);
}

TEST(SplitIntoParts, BoundariesMoveToNearbyCutsOnly) {
  // 1000 frames in 4: boundaries 250, 500, 750, each within reach (31) of
  // a cut or not.
  const std::vector<int64_t> cuts = {100, 240, 530, 532, 900};
  const std::vector<FrameRange> parts = split_into_parts(1000, 4, cuts);
  ASSERT_EQ(parts.size(), 4u);
  expect_cover(parts, 1000);
  EXPECT_EQ(parts[0].end, 240);  // the cut 10 frames before
  EXPECT_EQ(parts[1].end, 530);  // 30 frames after; 532 is out of reach
  EXPECT_EQ(parts[2].end, 750);  // no cut within reach
}

TEST(SplitIntoParts, EveryFrameInExactlyOnePartAtAnyCount) {
  const std::vector<int64_t> cuts = {3, 4, 5, 17, 18, 40};
  for (int64_t frames : {2, 7, 41, 1000}) {
    for (int64_t parts = 1; parts <= std::min<int64_t>(frames, 16); ++parts) {
      const std::vector<FrameRange> split = split_into_parts(frames, parts, cuts);
      EXPECT_EQ(split.size(), size_t(parts));
      expect_cover(split, frames);
    }
  }
}

}  // namespace
