#include "cli/clip_io/y4m_writer.h"

#include <cerrno>
#include <cstring>

#include "cli/tool_error.h"

std::string y4m_header_line(const VideoFormat& format, const std::vector<std::string>& extra) {
  std::string line = "YUV4MPEG2 W" + std::to_string(format.width) + " H" +
                     std::to_string(format.height) + " F" + std::to_string(format.frame_rate.num) +
                     ":" + std::to_string(format.frame_rate.den);
  switch (format.interlace) {
    case Interlace::kProgressive: line += " Ip"; break;
    case Interlace::kTopFirst: line += " It"; break;
    case Interlace::kBottomFirst: line += " Ib"; break;
    case Interlace::kMixed: line += " Im"; break;
    case Interlace::kUnknown: line += " I?"; break;
    case Interlace::kUnstated: break;
  }
  if (format.aspect_stated) {
    line += " A" + std::to_string(format.aspect.num) + ":" + std::to_string(format.aspect.den);
  }
  line += " C" + format.chroma_tag;
  if (format.range_stated || format.full_range) {
    line += format.full_range ? " XCOLORRANGE=FULL" : " XCOLORRANGE=LIMITED";
  }
  for (const std::string& parameter : extra) line += " X" + parameter;
  return line + "\n";
}

Y4mWriter::Y4mWriter(std::FILE* file, std::string name, const VideoFormat& format,
                     const std::vector<std::string>& extra)
    : file_(file), name_(std::move(name)), format_(format) {
  std::string header = y4m_header_line(format_, extra);
  write_bytes(header.data(), header.size());
  raw_.resize(format_.frame_bytes());
}

void Y4mWriter::write_bytes(const void* data, size_t size) {
  if (std::fwrite(data, 1, size, file_) != size) {
    throw ToolError(name_, std::string("write failed: ") + std::strerror(errno));
  }
}

void Y4mWriter::write_frame(const PlanarFrame& frame) {
  uint8_t* dst = raw_.data();
  for (const auto& plane : frame.plane) {
    if (format_.bit_depth > 8) {
      for (uint16_t v : plane) {
        *dst++ = uint8_t(v & 0xFF);
        *dst++ = uint8_t(v >> 8);
      }
    } else {
      for (uint16_t v : plane) *dst++ = uint8_t(v);
    }
  }
  write_payload(raw_.data());
}

void Y4mWriter::write_payload(const uint8_t* payload) {
  static const char kMarker[] = "FRAME\n";
  write_bytes(kMarker, sizeof kMarker - 1);
  write_bytes(payload, format_.frame_bytes());
}
