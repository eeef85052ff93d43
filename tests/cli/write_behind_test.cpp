// The writing thread writes exactly what the run loop rendered, in order,
// although the run loop reuses its buffers while earlier frames are written.
#include "cli/write_behind.h"

#include <gtest/gtest.h>

#include "cli/clip_io/y4m_writer.h"
#include "tool_harness.h"

namespace {

TEST(WriteBehind, WritesWhatWasRenderedInOrder) {
  ScratchDir dir;
  const VideoFormat format = test_format(20, 18, ChromaFormat::k420, 8);
  const int stride = 32, rows = 32;
  const int frames = 25;
  // A frame whose every pixel depends on the frame number.
  auto render = [&](PIXEL_YC* out, int n) {
    for (int y = 0; y < rows; ++y) {
      for (int x = 0; x < stride; ++x) {
        out[y * stride + x] = PIXEL_YC{int16_t(40 * n + 7 * x + 3 * y), int16_t(-20 * n + x),
                                       int16_t(30 * n - y)};
      }
    }
  };
  {
    ClipOutput output(dir.file("threaded.y4m"), format, false, {});
    WriteBehind writer(output, size_t(stride) * rows, stride, 2);
    for (int n = 0; n < frames; ++n) {
      render(writer.acquire(), n);
      writer.submit();
    }
    writer.finish();
    output.commit();
  }
  {
    ClipOutput output(dir.file("direct.y4m"), format, false, {});
    std::vector<PIXEL_YC> frame(size_t(stride) * rows);
    for (int n = 0; n < frames; ++n) {
      render(frame.data(), n);
      output.write_frame(frame.data(), stride);
    }
    output.finish();
    output.commit();
  }
  const std::string threaded = read_file(dir.file("threaded.y4m"));
  EXPECT_EQ(threaded.size(), y4m_header_line(format).size() + frames * (format.frame_bytes() + 6));
  EXPECT_EQ(threaded, read_file(dir.file("direct.y4m")));
}

TEST(WriteBehind, WithoutFinishLeavesNoOutput) {
  ScratchDir dir;
  const VideoFormat format = test_format(16, 16, ChromaFormat::k444, 8);
  {
    ClipOutput output(dir.file("out.y4m"), format, false, {});
    WriteBehind writer(output, 16 * 16, 16, 2);
    for (int n = 0; n < 4; ++n) {
      PIXEL_YC* frame = writer.acquire();
      std::fill(frame, frame + 16 * 16, PIXEL_YC{100, 0, 0});
      writer.submit();
    }
    // The run fails here: the writer and the output are destroyed.
  }
  EXPECT_EQ(dir.entries(), std::vector<std::string>{});
}

}  // namespace
