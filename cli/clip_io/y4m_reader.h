#pragma once
// Reads a YUV4MPEG2 stream: the stream header, then frames one at a time.
// Every malformed or truncated piece is reported as a ToolError naming the
// stream and the problem; unknown X parameters are ignored.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/video_format.h"

// Parses one stream header line (without its newline). `name` is used in
// error messages. The X parameters other than XCOLORRANGE, which carry
// nothing the format holds, go to `extra` (without their 'X') when given.
VideoFormat parse_y4m_header(const std::string& line, const std::string& name,
                             std::vector<std::string>* extra = nullptr);

class Y4mReader {
 public:
  // Reads the stream header from `file`, which the reader does not own.
  Y4mReader(std::FILE* file, std::string name);
  // Reads frames of `format` one after another with neither a stream header
  // nor frame markers (a raw pipe whose format is known beforehand).
  Y4mReader(std::FILE* file, std::string name, const VideoFormat& format);

  const VideoFormat& format() const { return format_; }
  // Bytes taken by the stream header, newline included.
  size_t header_bytes() const { return header_bytes_; }
  int64_t frames_read() const { return frames_read_; }
  // The header's X parameters other than XCOLORRANGE, without their 'X'.
  const std::vector<std::string>& extra_parameters() const { return extra_; }
  // The stream was moved to the start of frame n from outside: frames are
  // counted (in messages) from there.
  void moved_to_frame(int64_t n) { frames_read_ = n; }

  // Reads the next frame. Returns false at the clean end of the stream (end
  // of file right where a frame marker would start).
  bool read_frame(PlanarFrame& frame);
  // Reads the next frame's payload (format().frame_bytes() bytes, the
  // planes one after another) into dst.
  bool read_payload(uint8_t* dst);
  // Reads the next frame and throws its samples away.
  bool skip_frame();

 private:
  bool read_frame_bytes(uint8_t* dst);
  bool read_raw_frame(uint8_t* dst);

  std::FILE* file_;
  std::string name_;
  VideoFormat format_;
  size_t header_bytes_ = 0;
  int64_t frames_read_ = 0;
  bool raw_stream_ = false;
  std::vector<uint8_t> raw_;
  std::vector<std::string> extra_;
};
