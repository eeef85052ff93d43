#include "cli/streaming_source.h"

#include <gtest/gtest.h>

#include "cli/conversion.h"
#include "tool_harness.h"

namespace {

struct Fixture {
  ScratchDir dir;
  VideoFormat format = test_format(20, 18, ChromaFormat::k420, 8);
  std::vector<PlanarFrame> clip;
  std::string path;
  explicit Fixture(int frames) : clip(make_clip(format, frames, 9)), path(dir.file("c.y4m")) {
    write_y4m(path, format, clip);
  }
};

TEST(StreamingSource, ReportsDecodedFramesUntilTheEndIsSeen) {
  Fixture fx(10);
  ClipInput input(fx.path, {}, {25, 1});
  StreamingSource source(input);
  source.fill_through(4);
  EXPECT_EQ(source.frame_count(), 5);
  EXPECT_FALSE(source.end_seen());
  source.fill_through(20);
  EXPECT_EQ(source.frame_count(), 10);
  EXPECT_TRUE(source.end_seen());
}

TEST(StreamingSource, KeepsOnlyTheWindowAndFlagsRequestsOutsideIt) {
  Fixture fx(12);
  ClipInput input(fx.path, {}, {25, 1});
  StreamingSource source(input);
  std::vector<PIXEL_YC> buffer(size_t(source.width()) * source.height());
  for (int64_t f = 0; f < 12; ++f) {
    source.drop_before(f - 3);
    source.fill_through(f + 3);
    EXPECT_LE(source.held(), 7);
  }
  EXPECT_EQ(source.window_fault(), -1);
  EXPECT_TRUE(source.read_frame(11, buffer.data(), source.width()));
  EXPECT_FALSE(source.read_frame(2, buffer.data(), source.width()));
  EXPECT_EQ(source.window_fault(), 2);
}

TEST(StreamingSource, SkipsToALaterStartWithoutKeepingFrames) {
  Fixture fx(12);
  ClipInput input(fx.path, {}, {25, 1});
  StreamingSource source(input);
  source.drop_before(7);
  EXPECT_EQ(source.held(), 0);
  EXPECT_EQ(source.decoded(), 7);
  source.fill_through(8);
  EXPECT_TRUE(source.holds(7));
  EXPECT_FALSE(source.holds(6));
  // Frame 7 is the clip's frame 7, converted.
  std::vector<PIXEL_YC> frame(size_t(source.width()) * source.height());
  ASSERT_TRUE(source.convert_frame(7, frame.data(), source.width()));
  SampleConverter converter(fx.format, false);
  std::vector<PIXEL_YC> expected(frame.size());
  converter.to_host(fx.clip[7], expected.data(), source.width());
  for (int y = 0; y < fx.format.height; ++y) {
    for (int x = 0; x < fx.format.width; ++x) {
      const PIXEL_YC a = frame[size_t(y) * source.width() + x];
      const PIXEL_YC b = expected[size_t(y) * source.width() + x];
      ASSERT_TRUE(a.y == b.y && a.cb == b.cb && a.cr == b.cr) << x << "," << y;
    }
  }
}

TEST(StreamingSource, PadsToSixteenByMirroringIntoTheHostsBuffer) {
  Fixture fx(3);
  ClipInput input(fx.path, {}, {25, 1});
  StreamingSource source(input);
  ASSERT_EQ(source.width(), 32);
  ASSERT_EQ(source.height(), 32);
  source.fill_through(0);
  // A host buffer wider than the frame, holding a stale pattern: the frame's
  // 32 x 32 pixels are all written, nothing beyond them.
  const int stride = 40;
  const PIXEL_YC stale{-77, 55, -33};
  std::vector<PIXEL_YC> buffer(size_t(stride) * 33, stale);
  ASSERT_TRUE(source.convert_frame(0, buffer.data(), stride));
  auto at = [&](int x, int y) { return buffer[size_t(y) * stride + x]; };
  // Column 20 mirrors column 18 (about column 19), row 18 mirrors row 16.
  for (int y : {0, 7, 17}) {
    EXPECT_EQ(at(20, y).y, at(18, y).y);
    EXPECT_EQ(at(31, y).cb, at(7, y).cb);
  }
  for (int x : {0, 19, 25}) {
    EXPECT_EQ(at(x, 18).y, at(x, 16).y);
    EXPECT_EQ(at(x, 31).cr, at(x, 3).cr);
  }
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) ASSERT_NE(at(x, y).y, stale.y) << x << "," << y;
    EXPECT_EQ(at(32, y).y, stale.y);
  }
  EXPECT_EQ(at(0, 32).y, stale.y);
}

}  // namespace
