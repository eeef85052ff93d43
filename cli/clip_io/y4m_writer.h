#pragma once
// Writes a YUV4MPEG2 stream: the stream header from a VideoFormat (frame
// rate, aspect, interlacing, chroma tag and colour range kept as read), then
// frames. A failed write (a full disk, a closed pipe) is a ToolError.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/video_format.h"

// With its newline; `extra` are X parameters (without their 'X') written
// after the format's own.
std::string y4m_header_line(const VideoFormat& format, const std::vector<std::string>& extra = {});

class Y4mWriter {
 public:
  // Writes the stream header to `file`, which the writer does not own.
  Y4mWriter(std::FILE* file, std::string name, const VideoFormat& format,
            const std::vector<std::string>& extra = {});
  void write_frame(const PlanarFrame& frame);
  // Writes a frame given as its payload (format().frame_bytes() bytes).
  void write_payload(const uint8_t* payload);

 private:
  void write_bytes(const void* data, size_t size);

  std::FILE* file_;
  std::string name_;
  VideoFormat format_;
  std::vector<uint8_t> raw_;
};
