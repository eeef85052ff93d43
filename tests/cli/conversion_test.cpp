#include "cli/conversion.h"

#include <gtest/gtest.h>

#include "tool_harness.h"

namespace {

VideoFormat format_of(int bit_depth, bool full_range, ChromaFormat chroma = ChromaFormat::k444) {
  return test_format(32, 32, chroma, bit_depth, Interlace::kProgressive, full_range);
}

TEST(DivideRounded, HalvesGoAwayFromZero) {
  EXPECT_EQ(divide_rounded(5, 2), 3);
  EXPECT_EQ(divide_rounded(-5, 2), -3);
  EXPECT_EQ(divide_rounded(4, 3), 1);
  EXPECT_EQ(divide_rounded(-4, 3), -1);
  EXPECT_EQ(divide_rounded(0, 7), 0);
}

TEST(SampleConverter, NominalLevelsLandOnHostNominals) {
  for (int depth : {8, 10}) {
    const int s = 1 << (depth - 8);
    SampleConverter limited(format_of(depth, false), false);
    EXPECT_EQ(limited.luma_to_host(16 * s), 0);
    EXPECT_EQ(limited.luma_to_host(235 * s), 4096);
    EXPECT_EQ(limited.chroma_to_host(128 * s), 0);
    EXPECT_EQ(limited.chroma_to_host(240 * s), 2048);
    EXPECT_EQ(limited.chroma_to_host(16 * s), -2048);
    SampleConverter full(format_of(depth, true), false);
    EXPECT_EQ(full.luma_to_host(0), 0);
    EXPECT_EQ(full.luma_to_host((1 << depth) - 1), 4096);
    EXPECT_EQ(full.chroma_to_host(1 << (depth - 1)), 0);
  }
}

TEST(SampleConverter, FollowsTheFormulaAtEveryCode) {
  // Recomputed here in floating point, away from exact halves.
  for (int depth : {8, 10}) {
    for (bool full : {false, true}) {
      SampleConverter converter(format_of(depth, full), false);
      const double s = 1 << (depth - 8), max = (1 << depth) - 1;
      for (int v = 0; v <= int(max); ++v) {
        double y = full ? v * 4096.0 / max : (v - 16 * s) * 4096.0 / (219 * s);
        double c = full ? (v - (1 << (depth - 1))) * 4096.0 / max : (v - 128 * s) * 4096.0 / (224 * s);
        ASSERT_NEAR(converter.luma_to_host(unsigned(v)), y, 0.5 + 1e-9) << depth << " " << v;
        ASSERT_NEAR(converter.chroma_to_host(unsigned(v)), c, 0.5 + 1e-9) << depth << " " << v;
      }
    }
  }
}

TEST(SampleConverter, RoundTripIsExactForEveryCode) {
  for (int depth : {8, 10}) {
    for (bool full : {false, true}) {
      SampleConverter converter(format_of(depth, full), false);
      for (unsigned v = 0; v < (1u << depth); ++v) {
        ASSERT_EQ(converter.luma_from_host(converter.luma_to_host(v)), v) << depth << full;
        ASSERT_EQ(converter.chroma_from_host(converter.chroma_to_host(v)), v) << depth << full;
      }
    }
  }
}

TEST(SampleConverter, ClampsToTheSampleRangeNotTheNominalRange) {
  SampleConverter limited(format_of(8, false), false);
  EXPECT_EQ(limited.luma_from_host(-8192), 0);
  EXPECT_EQ(limited.luma_from_host(8192), 255);
  EXPECT_EQ(limited.luma_from_host(-200), 5);   // below 16 is kept, not clamped to 16
  EXPECT_EQ(limited.chroma_from_host(-8192), 0);
  EXPECT_EQ(limited.chroma_from_host(8192), 255);
  SampleConverter ten(format_of(10, false), false);
  EXPECT_EQ(ten.luma_from_host(8192), 1023);
  // Samples above the depth's range (possible in a 16-bit container) clamp.
  EXPECT_EQ(ten.luma_to_host(65535), ten.luma_to_host(1023));
}

TEST(SampleConverter, FrameRoundTripIsExactForEveryLayout) {
  for (ChromaFormat chroma : {ChromaFormat::k420, ChromaFormat::k422, ChromaFormat::k444}) {
    for (int depth : {8, 10}) {
      for (bool interlaced : {false, true}) {
        for (auto [w, h] : {std::pair{64, 48}, std::pair{37, 29}}) {
          VideoFormat format = test_format(w, h, chroma, depth,
                                           interlaced ? Interlace::kTopFirst : Interlace::kProgressive);
          PlanarFrame frame = make_clip(format, 1, 7)[0];
          SampleConverter converter(format, interlaced);
          std::vector<PIXEL_YC> host(size_t(w + 5) * h);
          converter.to_host(frame, host.data(), w + 5);
          PlanarFrame back;
          converter.from_host(host.data(), w + 5, back);
          for (int p = 0; p < 3; ++p) {
            ASSERT_EQ(back.plane[p], frame.plane[p])
                << "chroma " << int(chroma) << " depth " << depth << " interlaced " << interlaced
                << " size " << w << "x" << h << " plane " << p;
          }
        }
      }
    }
  }
}

TEST(SampleConverter, ChromaRowsFollowTheFields) {
  VideoFormat format = test_format(16, 16, ChromaFormat::k420, 8, Interlace::kTopFirst);
  SampleConverter interlaced(format, true), progressive(format, false);
  const int field_rows[8] = {0, 1, 0, 1, 2, 3, 2, 3};
  for (int r = 0; r < 8; ++r) {
    EXPECT_EQ(interlaced.chroma_row_of(r), field_rows[r]) << r;
    EXPECT_EQ(progressive.chroma_row_of(r), r / 2) << r;
  }
  int first = 0, second = 0;
  interlaced.chroma_row_users(3, first, second);
  EXPECT_EQ(first, 5);
  EXPECT_EQ(second, 7);
}

TEST(SampleConverter, SharedChromaIsAveragedBack) {
  VideoFormat format = test_format(16, 16, ChromaFormat::k420, 8);
  SampleConverter converter(format, false);
  std::vector<PIXEL_YC> host(16 * 16, PIXEL_YC{0, 0, 0});
  // The four pixels sharing chroma sample (0, 0) carry codes 100, 101, 110, 111.
  const int codes[4] = {100, 101, 110, 111};
  const int at[4] = {0, 1, 16, 17};
  for (int i = 0; i < 4; ++i) host[size_t(at[i])].cb = converter.chroma_to_host(unsigned(codes[i]));
  PlanarFrame back;
  converter.from_host(host.data(), 16, back);
  // Rows: (100 + 101 + 1) / 2 = 101, (110 + 111 + 1) / 2 = 111; then (101 + 111 + 1) / 2 = 106.
  EXPECT_EQ(back.plane[1][0], 106);
}

}  // namespace
