#include "cli/clip_io/y4m_reader.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "cli/tool_error.h"
#include "cli/clip_io/y4m_writer.h"
#include "tool_harness.h"

namespace {

// Reads every frame of an in-memory stream; returns the error message, or ""
// when the whole stream read cleanly, and the number of frames.
std::string read_all(const std::string& bytes, int* frames = nullptr) {
  std::FILE* file = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
  if (!file) return "fmemopen";
  std::string error;
  int count = 0;
  try {
    Y4mReader reader(file, "clip.y4m");
    PlanarFrame frame;
    while (reader.read_frame(frame)) ++count;
  } catch (const ToolError& e) {
    error = e.what();
  }
  std::fclose(file);
  if (frames) *frames = count;
  return error;
}

std::string frame_of(size_t bytes, char fill = 'x') { return "FRAME\n" + std::string(bytes, fill); }

TEST(Y4mHeader, ReadsEveryChromaTagAndDepth) {
  struct Case {
    const char* tag;
    ChromaFormat chroma;
    int depth;
  } cases[] = {{"420", ChromaFormat::k420, 8},      {"420jpeg", ChromaFormat::k420, 8},
               {"420mpeg2", ChromaFormat::k420, 8}, {"420paldv", ChromaFormat::k420, 8},
               {"422", ChromaFormat::k422, 8},      {"444", ChromaFormat::k444, 8},
               {"420p10", ChromaFormat::k420, 10},  {"422p10", ChromaFormat::k422, 10},
               {"444p10", ChromaFormat::k444, 10}};
  for (const Case& c : cases) {
    VideoFormat f = parse_y4m_header(std::string("YUV4MPEG2 W64 H48 F25:1 C") + c.tag, "x");
    EXPECT_EQ(f.chroma, c.chroma) << c.tag;
    EXPECT_EQ(f.bit_depth, c.depth) << c.tag;
    EXPECT_EQ(f.chroma_tag, c.tag);
  }
  VideoFormat plain = parse_y4m_header("YUV4MPEG2 W64 H48 F25:1", "x");
  EXPECT_EQ(plain.chroma, ChromaFormat::k420);
  EXPECT_EQ(plain.bit_depth, 8);
}

TEST(Y4mHeader, ReadsRateAspectInterlacingAndRange) {
  VideoFormat f = parse_y4m_header(
      "YUV4MPEG2 W720 H480 F30000:1001 It A10:11 C422p10 XYSCSS=422P10 XCOLORRANGE=FULL", "x");
  EXPECT_EQ(f.width, 720);
  EXPECT_EQ(f.height, 480);
  EXPECT_EQ(f.frame_rate.num, 30000);
  EXPECT_EQ(f.frame_rate.den, 1001);
  EXPECT_EQ(f.aspect.num, 10);
  EXPECT_EQ(f.aspect.den, 11);
  EXPECT_EQ(f.interlace, Interlace::kTopFirst);
  EXPECT_TRUE(f.full_range);
  const std::pair<const char*, Interlace> modes[] = {{"Ip", Interlace::kProgressive},
                                                     {"Ib", Interlace::kBottomFirst},
                                                     {"Im", Interlace::kMixed},
                                                     {"I?", Interlace::kUnknown}};
  for (auto [text, mode] : modes) {
    EXPECT_EQ(parse_y4m_header(std::string("YUV4MPEG2 W64 H48 F25:1 ") + text, "x").interlace, mode);
  }
  EXPECT_FALSE(parse_y4m_header("YUV4MPEG2 W64 H48 F25:1 XCOLORRANGE=LIMITED", "x").full_range);
}

TEST(Y4mHeader, RejectsMalformedHeadersNamingFileAndProblem) {
  const std::pair<const char*, const char*> cases[] = {
      {"YUV4MPEG W64 H48 F25:1", "bad signature"},
      {"YUV4MPEG2X W64 H48 F25:1", "bad signature"},
      {"YUV4MPEG2 H48 F25:1", "missing parameter W"},
      {"YUV4MPEG2 W64 F25:1", "missing parameter H"},
      {"YUV4MPEG2 W64 H48", "missing parameter F"},
      {"YUV4MPEG2 W6x4 H48 F25:1", "malformed parameter W6x4"},
      {"YUV4MPEG2 W0 H48 F25:1", "malformed parameter W0"},
      {"YUV4MPEG2 W64 H-48 F25:1", "malformed parameter H-48"},
      {"YUV4MPEG2 W64 H48 F25", "malformed parameter F25"},
      {"YUV4MPEG2 W64 H48 F25:0", "malformed parameter F25:0"},
      {"YUV4MPEG2 W64 H48 F25:1 A1", "malformed parameter A1"},
      {"YUV4MPEG2 W64 H48 F25:1 W9999999999", "malformed parameter W9999999999"},
      {"YUV4MPEG2 W64 H48 F25:1 C411", "unsupported chroma format or depth C411"},
      {"YUV4MPEG2 W64 H48 F25:1 Cmono", "unsupported chroma format or depth Cmono"},
      {"YUV4MPEG2 W64 H48 F25:1 C420p12", "unsupported chroma format or depth C420p12"},
      {"YUV4MPEG2 W64 H48 F25:1 Ix", "unsupported interlacing Ix"},
      {"YUV4MPEG2 W64 H48 F25:1 Z3", "unknown parameter Z3"},
      {"YUV4MPEG2 W64  H48 F25:1", "empty parameter"},
      {"YUV4MPEG2 W1921 H1080 F25:1", "above the largest"},
      {"YUV4MPEG2 W1920 H1089 F25:1", "above the largest"},
      {"YUV4MPEG2 W8 H48 F25:1", "below the smallest"},
  };
  for (auto [header, problem] : cases) {
    try {
      parse_y4m_header(header, "in.y4m");
      ADD_FAILURE() << "accepted: " << header;
    } catch (const ToolError& e) {
      EXPECT_NE(std::string(e.what()).find(problem), std::string::npos) << header << " -> " << e.what();
      EXPECT_EQ(std::string(e.what()).rfind("in.y4m: ", 0), 0u) << e.what();
      EXPECT_EQ(e.exit_status(), 1);
    }
  }
  EXPECT_NO_THROW(parse_y4m_header("YUV4MPEG2 W1920 H1088 F25:1 XUNKNOWN=7 X", "x"));
}

TEST(Y4mStream, ReadsFramesAndStopsCleanlyAtTheEnd) {
  const std::string header = "YUV4MPEG2 W16 H16 F25:1 C420jpeg\n";
  const size_t bytes = 16 * 16 + 2 * 8 * 8;
  int frames = 0;
  EXPECT_EQ(read_all(header, &frames), "");
  EXPECT_EQ(frames, 0);
  EXPECT_EQ(read_all(header + frame_of(bytes) + "FRAME Ixyz XA=1\n" + std::string(bytes, 'y'), &frames), "");
  EXPECT_EQ(frames, 2);
}

TEST(Y4mStream, ReportsTruncatedAndCorruptedPieces) {
  const std::string header = "YUV4MPEG2 W16 H16 F25:1 C444p10\n";
  const size_t bytes = 16 * 16 * 3 * 2;
  const std::pair<std::string, const char*> cases[] = {
      {"", "empty file"},
      {"YUV4MPEG2 W16 H16 F25:1", "truncated header"},
      {"YUV4", "truncated header"},
      {"RIFF....WAVE", "bad signature"},
      {"YUV4MPEG2 W16 " + std::string(5000, 'X'), "line too long"},
      {header + frame_of(bytes) + "FRA", "truncated frame marker at frame 1"},
      {header + frame_of(bytes) + "FRAME", "truncated frame marker at frame 1"},
      {header + "FRAMX\n" + std::string(bytes, 'x'), "bad frame marker at frame 0"},
      {header + "FRAME\t\n" + std::string(bytes, 'x'), "bad frame marker at frame 0"},
      {header + "FRAME " + std::string(2000, 'p'), "malformed frame header at frame 0"},
      {header + frame_of(bytes - 1), "truncated frame 0 (1535 of 1536 bytes)"},
      {header + frame_of(bytes) + frame_of(10), "truncated frame 1 (10 of 1536 bytes)"},
      {header + frame_of(bytes) + std::string(bytes, 'z'), "bad frame marker at frame 1"},
  };
  for (const auto& [stream, problem] : cases) {
    std::string error = stream.empty() ? [] {
      // fmemopen cannot open an empty buffer: use an empty file.
      std::FILE* file = std::tmpfile();
      try {
        Y4mReader reader(file, "clip.y4m");
      } catch (const ToolError& e) {
        std::fclose(file);
        return std::string(e.what());
      }
      std::fclose(file);
      return std::string();
    }() : read_all(stream);
    EXPECT_NE(error.find(problem), std::string::npos) << "expected '" << problem << "', got '" << error << "'";
    EXPECT_EQ(error.rfind("clip.y4m: ", 0), 0u) << error;
  }
}

TEST(Y4mStream, WriterAndReaderAgreeOnHeaderAndSamples) {
  for (auto format : {test_format(48, 32, ChromaFormat::k420, 8, Interlace::kBottomFirst, true),
                      test_format(33, 17, ChromaFormat::k422, 10),
                      test_format(16, 16, ChromaFormat::k444, 10, Interlace::kUnstated)}) {
    auto clip = make_clip(format, 3, 11);
    std::FILE* file = std::tmpfile();
    {
      Y4mWriter writer(file, "t", format);
      for (auto& frame : clip) writer.write_frame(frame);
    }
    std::rewind(file);
    Y4mReader reader(file, "t");
    const VideoFormat& read = reader.format();
    EXPECT_EQ(y4m_header_line(read), y4m_header_line(format));
    EXPECT_EQ(read.interlace, format.interlace);
    EXPECT_EQ(read.full_range, format.full_range);
    PlanarFrame frame;
    for (auto& expected : clip) {
      ASSERT_TRUE(reader.read_frame(frame));
      for (int p = 0; p < 3; ++p) EXPECT_EQ(frame.plane[p], expected.plane[p]);
    }
    EXPECT_FALSE(reader.read_frame(frame));
    std::fclose(file);
  }
}

}  // namespace
