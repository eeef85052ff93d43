#include "plugin/padded_frame.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(MirrorIndex, ReflectsAboutTheEndsWithoutRepeatingThem) {
  EXPECT_EQ(mirror_index(1080, 1080), 1078);
  EXPECT_EQ(mirror_index(1087, 1080), 1071);
  EXPECT_EQ(mirror_index(-1, 10), 1);
  EXPECT_EQ(mirror_index(-2, 10), 2);
  EXPECT_EQ(mirror_index(5, 10), 5);
  // Short ranges reflect again until the index lands: period 2n - 2.
  EXPECT_EQ(mirror_index(3, 2), 1);
  EXPECT_EQ(mirror_index(4, 2), 0);
  EXPECT_EQ(mirror_index(-3, 3), 1);
  EXPECT_EQ(mirror_index(12, 3), 0);
  for (int i = -20; i < 20; ++i) EXPECT_EQ(mirror_index(i, 1), 0);
  for (int n = 2; n < 9; ++n)
    for (int i = -40; i < 40; ++i) {
      const int r = mirror_index(i, n);
      EXPECT_GE(r, 0);
      EXPECT_LT(r, n);
    }
}

TEST(CopyPadded, MirrorsRowsThenColumnsAndLeavesNoStaleData) {
  const int stride = 24, w = 13, h = 5, pw = 16, ph = 16;
  std::vector<PIXEL_YC> src(stride * ph, PIXEL_YC{0x5A5A, 0x5A5A, 0x5A5A});
  for (int r = 0; r < h; ++r)
    for (int x = 0; x < w; ++x)
      src[r * stride + x] = {static_cast<int16_t>(100 * r + x), static_cast<int16_t>(-x),
                             static_cast<int16_t>(r)};
  std::vector<PIXEL_YC> dst(stride * ph, PIXEL_YC{-1, -1, -1});
  copy_padded(src.data(), dst.data(), stride, w, h, pw, ph);
  for (int r = 0; r < ph; ++r)
    for (int x = 0; x < pw; ++x) {
      const int from_r = mirror_index(r, h), from_x = mirror_index(x, w);
      EXPECT_EQ(dst[r * stride + x].y, 100 * from_r + from_x) << r << "," << x;
      EXPECT_EQ(dst[r * stride + x].cb, -from_x);
    }
  // Columns beyond the padded width are not touched.
  EXPECT_EQ(dst[pw].y, -1);
}

TEST(PadRowsInPlace, CopiesMirroredRowsOfTheFirstWPixels) {
  const int stride = 8, w = 6, h = 3, ph = 6;
  std::vector<PIXEL_YC> frame(stride * ph, PIXEL_YC{7, 7, 7});
  for (int r = 0; r < h; ++r)
    for (int x = 0; x < stride; ++x) frame[r * stride + x] = {static_cast<int16_t>(r), 0, 0};
  pad_rows_in_place(frame.data(), stride, w, h, ph);
  const int expected[] = {0, 1, 2, 1, 0, 1};
  for (int r = 0; r < ph; ++r) {
    EXPECT_EQ(frame[r * stride].y, expected[r]);
    EXPECT_EQ(frame[r * stride + w].y, r < h ? r : 7);  // beyond w untouched
  }
}

}  // namespace
