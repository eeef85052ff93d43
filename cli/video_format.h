#pragma once
// What the tool knows about a clip: geometry, sampling, range, interlacing and
// timing, and one decoded frame as three planes of native samples.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class ChromaFormat { k420, k422, k444 };

enum class Interlace { kUnstated, kProgressive, kTopFirst, kBottomFirst, kMixed, kUnknown };

struct Rational {
  int64_t num = 0;
  int64_t den = 0;
};

// The largest frame the module processes; larger clips are refused.
constexpr int kMaxWidth = 1920;
constexpr int kMaxHeight = 1088;
// The module pads frames by mirroring rows about the last one, which needs a
// few rows to mirror; smaller frames are refused.
constexpr int kMinWidth = 16;
constexpr int kMinHeight = 16;

struct VideoFormat {
  int width = 0;
  int height = 0;
  ChromaFormat chroma = ChromaFormat::k420;
  int bit_depth = 8;            // 8 or 10
  bool full_range = false;      // XCOLORRANGE=FULL
  bool range_stated = false;    // an XCOLORRANGE parameter was present
  std::string chroma_tag = "420jpeg";  // the C parameter as written (without the C)
  Interlace interlace = Interlace::kUnstated;
  Rational frame_rate{25, 1};
  Rational aspect{0, 0};        // 0:0 = unknown
  bool aspect_stated = false;
  // Colour tags of a clip decoded by ffmpeg, in ffmpeg's names ("bt709"),
  // "" when unknown; a y4m header carries none.
  std::string colour_matrix, colour_primaries, colour_transfer;

  int chroma_width() const { return chroma == ChromaFormat::k444 ? width : (width + 1) / 2; }
  int chroma_height() const { return chroma == ChromaFormat::k420 ? (height + 1) / 2 : height; }
  int bytes_per_sample() const { return bit_depth > 8 ? 2 : 1; }
  size_t luma_samples() const { return size_t(width) * size_t(height); }
  size_t chroma_samples() const { return size_t(chroma_width()) * size_t(chroma_height()); }
  // Bytes of one frame's payload in a YUV4MPEG2 stream.
  size_t frame_bytes() const {
    return (luma_samples() + 2 * chroma_samples()) * size_t(bytes_per_sample());
  }
  int max_sample() const { return (1 << bit_depth) - 1; }
  // Whether 4:2:0 chroma rows belong to alternating fields.
  bool interlaced_layout() const {
    return interlace == Interlace::kTopFirst || interlace == Interlace::kBottomFirst;
  }
};

// One frame in native samples (8-bit values are stored widened). Plane 0 is
// luma (width x height), planes 1 and 2 are Cb and Cr (chroma_width x
// chroma_height); rows are tightly packed.
struct PlanarFrame {
  std::vector<uint16_t> plane[3];
  void allocate(const VideoFormat& format) {
    plane[0].resize(format.luma_samples());
    plane[1].resize(format.chroma_samples());
    plane[2].resize(format.chroma_samples());
  }
};
