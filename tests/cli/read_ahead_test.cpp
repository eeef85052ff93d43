// The reading thread: frames in order, errors at the frame that has them,
// skipping, and stopping while it waits.
#include "cli/read_ahead.h"

#include <gtest/gtest.h>

#include "cli/tool_error.h"
#include "tool_harness.h"

namespace {

struct Clip {
  ScratchDir dir;
  VideoFormat format = test_format(24, 20, ChromaFormat::k420, 8);
  std::string path = dir.file("c.y4m");
  std::string bytes;
  explicit Clip(int frames) {
    write_y4m(path, format, make_clip(format, frames, 3));
    bytes = read_file(path);
  }
  // Frame n's payload as stored in the file (frames have no parameters).
  std::string payload(int n) const {
    const size_t header = bytes.find('\n') + 1;
    const size_t frame = format.frame_bytes() + 6;
    return bytes.substr(header + size_t(n) * frame + 6, format.frame_bytes());
  }
};

std::string as_string(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

TEST(ReadAhead, DeliversEveryFrameInOrderThenTheEnd) {
  Clip clip(9);
  ClipInput input(clip.path, {}, {25, 1});
  ReadAhead reader(input, 2);
  std::vector<uint8_t> frame;
  for (int n = 0; n < 9; ++n) {
    ASSERT_TRUE(reader.next(frame)) << n;
    EXPECT_EQ(as_string(frame), clip.payload(n)) << n;
  }
  EXPECT_FALSE(reader.next(frame));
  EXPECT_FALSE(reader.next(frame));  // the end stays the end
  EXPECT_FALSE(reader.skip());
}

TEST(ReadAhead, ThrowsAReadErrorAtTheFrameThatHasIt) {
  Clip clip(6);
  write_file(clip.path, clip.bytes.substr(0, clip.bytes.size() - 10));  // frame 5 cut short
  ClipInput input(clip.path, {}, {25, 1});
  ReadAhead reader(input, 3);
  std::vector<uint8_t> frame;
  for (int n = 0; n < 5; ++n) ASSERT_TRUE(reader.next(frame)) << n;
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      reader.next(frame);
      FAIL() << "no error at frame 5";
    } catch (const ToolError& error) {
      EXPECT_NE(std::string(error.what()).find("truncated frame 5"), std::string::npos) << error.what();
    }
  }
}

TEST(ReadAhead, SkipsToALaterFrame) {
  Clip clip(12);
  ClipInput input(clip.path, {}, {25, 1});
  ReadAhead reader(input, 2);
  reader.skip_before(7);
  for (int n = 0; n < 7; ++n) ASSERT_TRUE(reader.skip()) << n;
  std::vector<uint8_t> frame;
  ASSERT_TRUE(reader.next(frame));
  EXPECT_EQ(as_string(frame), clip.payload(7));
}

TEST(ReadAhead, StopsWhileWaitingForRoom) {
  Clip clip(12);
  ClipInput input(clip.path, {}, {25, 1});
  {
    ReadAhead reader(input, 1);
    std::vector<uint8_t> frame;
    ASSERT_TRUE(reader.next(frame));
    // The reader now waits with the next frame queued; destroying it must
    // not wait for the clip's end.
  }
  // The input is left after the frames that were read ahead; nothing reads
  // from it meanwhile.
  std::vector<PIXEL_YC> host(24 * 20);
  EXPECT_TRUE(input.read_frame(host.data(), 24));
}

}  // namespace
