#include "cli/clip_io/yc48_io.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "cli/tool_error.h"

namespace {

TEST(Yc48, WritesLittleEndianTriplesAndReadsThemBack) {
  std::vector<PIXEL_YC> frame(16 * 16);
  for (size_t i = 0; i < frame.size(); ++i) {
    frame[i] = PIXEL_YC{int16_t(i * 17 - 300), int16_t(-int(i) * 9), int16_t(i * 3 + 2000)};
  }
  std::FILE* file = std::tmpfile();
  Yc48Writer writer(file, "t.yc48", 16, 16);
  writer.write_frame(frame.data(), 16);
  writer.write_frame(frame.data(), 16);
  std::fflush(file);
  std::rewind(file);
  unsigned char first[6];
  ASSERT_EQ(std::fread(first, 1, 6, file), 6u);
  // Pixel 0: y = -300 = 0xFED4, cb = 0, cr = 2000 = 0x07D0.
  EXPECT_EQ(first[0], 0xD4);
  EXPECT_EQ(first[1], 0xFE);
  EXPECT_EQ(first[4], 0xD0);
  EXPECT_EQ(first[5], 0x07);
  std::rewind(file);
  Yc48Reader reader(file, "t.yc48", 16, 16);
  std::vector<PIXEL_YC> back(20 * 16);
  for (int n = 0; n < 2; ++n) {
    ASSERT_TRUE(reader.read_frame(back.data(), 20));
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) {
        const PIXEL_YC& a = frame[size_t(y) * 16 + x];
        const PIXEL_YC& b = back[size_t(y) * 20 + x];
        ASSERT_TRUE(a.y == b.y && a.cb == b.cb && a.cr == b.cr) << x << "," << y;
      }
    }
  }
  EXPECT_FALSE(reader.read_frame(back.data(), 20));
  std::fclose(file);
}

TEST(Yc48, APartialFrameIsAnError) {
  std::FILE* file = std::tmpfile();
  std::vector<unsigned char> bytes(16 * 16 * 6 + 100, 0);
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::rewind(file);
  Yc48Reader reader(file, "short.yc48", 16, 16);
  std::vector<PIXEL_YC> frame(16 * 16);
  EXPECT_TRUE(reader.read_frame(frame.data(), 16));
  try {
    reader.read_frame(frame.data(), 16);
    ADD_FAILURE() << "partial frame accepted";
  } catch (const ToolError& e) {
    EXPECT_STREQ(e.what(), "short.yc48: truncated frame 1 (100 of 1536 bytes)");
  }
  std::fclose(file);
}

}  // namespace
