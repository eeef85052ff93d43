#include "cli/conversion.h"

#include <gtest/gtest.h>

#include <random>

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

// The payload forms against the planar forms, and the planar form of the way
// back against the per-sample conversion with its pair and row averaging, on
// host values anywhere in the 16-bit range (not only ones that came from
// samples), for every layout, both depths and odd sizes.
// The payload forms of 4:2:0 and 4:2:2 at 8 and 10 bits, both ranges, take
// the AVX2 row forms where the processor has AVX2: the forms give the
// tables' value for every input of each of these formats (the comparison
// below then covers them; 4:4:4 always goes sample by sample).
TEST(SampleConverter, PairFormatsUseTheRowFormsWhereAvx2Runs) {
  for (ChromaFormat chroma : {ChromaFormat::k420, ChromaFormat::k422, ChromaFormat::k444}) {
    for (int depth : {8, 10}) {
      for (bool full : {false, true}) {
        const SampleConverter converter(
            test_format(64, 48, chroma, depth, Interlace::kProgressive, full), false);
        EXPECT_EQ(converter.vector_rows(),
                  conversion_avx2_usable() && chroma != ChromaFormat::k444)
            << "chroma " << int(chroma) << " depth " << depth << " full " << full;
      }
    }
  }
}

TEST(SampleConverter, PayloadFormsAgreeWithThePlanarFormsOnArbitraryValues) {
  std::mt19937 random(5);
  std::uniform_int_distribution<int> any(-32768, 32767), near(-2600, 6000);
  for (ChromaFormat chroma : {ChromaFormat::k420, ChromaFormat::k422, ChromaFormat::k444}) {
    for (int depth : {8, 10}) {
      for (bool interlaced : {false, true}) {
        for (auto [w, h] : {std::pair{64, 48}, std::pair{37, 30}, std::pair{21, 17}}) {
          const VideoFormat format = test_format(w, h, chroma, depth, Interlace::kProgressive,
                                                 /*full_range=*/w == 37);
          const std::string where = "chroma " + std::to_string(int(chroma)) + " depth " +
                                    std::to_string(depth) + " interlaced " +
                                    std::to_string(interlaced) + " width " + std::to_string(w);
          SampleConverter converter(format, interlaced);
          const int stride = w + 3;
          std::vector<PIXEL_YC> host(size_t(stride) * h);
          for (PIXEL_YC& p : host) {
            const bool wild = random() % 8 == 0;
            p = PIXEL_YC{int16_t(wild ? any(random) : near(random)),
                         int16_t(wild ? any(random) : near(random) / 2),
                         int16_t(wild ? any(random) : near(random) / 2)};
          }
          PlanarFrame planar;
          converter.from_host(host.data(), stride, planar);
          // The luma plane sample by sample, a chroma plane from its users.
          for (int r = 0; r < h; ++r) {
            for (int x = 0; x < w; ++x) {
              ASSERT_EQ(planar.plane[0][size_t(r) * w + x],
                        converter.luma_from_host(host[size_t(r) * stride + x].y)) << where;
            }
          }
          const int cw = format.chroma_width();
          for (int c = 0; c < format.chroma_height(); ++c) {
            int first = 0, second = 0;
            converter.chroma_row_users(c, first, second);
            for (int k = 0; k < cw; ++k) {
              auto row_value = [&](int r) {
                const PIXEL_YC* row = host.data() + size_t(r) * stride;
                if (chroma == ChromaFormat::k444) return unsigned(converter.chroma_from_host(row[k].cr));
                const int x1 = std::min(2 * k + 1, w - 1);
                return (converter.chroma_from_host(row[2 * k].cr) +
                        converter.chroma_from_host(row[x1].cr) + 1u) / 2;
              };
              unsigned expected = row_value(first);
              if (second >= 0) expected = (expected + row_value(second) + 1) / 2;
              ASSERT_EQ(planar.plane[2][size_t(c) * cw + k], expected) << where << " c " << c << " k " << k;
            }
          }
          // The payload form writes the same samples in the stream's bytes.
          std::vector<uint8_t> payload(format.frame_bytes(), 0xEE);
          converter.host_to_payload(host.data(), stride, payload.data());
          size_t i = 0;
          for (int p = 0; p < 3; ++p) {
            for (uint16_t v : planar.plane[p]) {
              const unsigned stored = depth > 8 ? payload[i] | payload[i + 1] << 8 : payload[i];
              ASSERT_EQ(stored, v) << where << " plane " << p;
              i += size_t(format.bytes_per_sample());
            }
          }
          // And back: the payload and planar forms give the same host frame,
          // including for samples above the depth's maximum.
          if (depth > 8) {
            payload[1] = 0xFF;  // luma sample 0 becomes 0xFFxx
            planar.plane[0][0] = uint16_t(payload[0] | payload[1] << 8);
          }
          std::vector<PIXEL_YC> from_payload(host.size(), PIXEL_YC{1, 2, 3});
          std::vector<PIXEL_YC> from_planar(host.size(), PIXEL_YC{1, 2, 3});
          converter.payload_to_host(payload.data(), from_payload.data(), stride);
          converter.to_host(planar, from_planar.data(), stride);
          for (size_t j = 0; j < host.size(); ++j) {
            ASSERT_TRUE(from_payload[j].y == from_planar[j].y && from_payload[j].cb == from_planar[j].cb &&
                        from_payload[j].cr == from_planar[j].cr) << where << " pixel " << j;
          }
          if (depth > 8) {
            EXPECT_EQ(from_planar[0].y, converter.luma_to_host(unsigned(format.max_sample()))) << where;
          }
          // Two row spans (as two threads share a frame) give the whole frame.
          std::vector<PIXEL_YC> split(host.size(), PIXEL_YC{1, 2, 3});
          const int middle = format.height / 2 + 1;
          converter.payload_to_host(payload.data(), split.data(), stride, middle, format.height);
          converter.payload_to_host(payload.data(), split.data(), stride, 0, middle);
          for (size_t j = 0; j < host.size(); ++j) {
            ASSERT_TRUE(split[j].y == from_payload[j].y && split[j].cb == from_payload[j].cb &&
                        split[j].cr == from_payload[j].cr) << where << " pixel " << j;
          }
        }
      }
    }
  }
}

}  // namespace
