#include "cli/clip_io/y4m_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "cli/tool_error.h"

namespace {

constexpr char kSignature[] = "YUV4MPEG2";
// A header line longer than this is not a YUV4MPEG2 header; the limit also
// bounds what a corrupt stream can make the reader buffer.
constexpr size_t kMaxHeaderLine = 4096;
constexpr size_t kMaxFrameHeaderLine = 1024;

struct ChromaTag {
  const char* tag;
  ChromaFormat chroma;
  int bit_depth;
};
constexpr ChromaTag kChromaTags[] = {
    {"420", ChromaFormat::k420, 8},       {"420jpeg", ChromaFormat::k420, 8},
    {"420mpeg2", ChromaFormat::k420, 8},  {"420paldv", ChromaFormat::k420, 8},
    {"422", ChromaFormat::k422, 8},       {"444", ChromaFormat::k444, 8},
    {"420p10", ChromaFormat::k420, 10},   {"422p10", ChromaFormat::k422, 10},
    {"444p10", ChromaFormat::k444, 10},
};

// A decimal number of at most nine digits (no sign, no spaces).
bool parse_count(std::string_view text, int64_t& value) {
  if (text.empty() || text.size() > 9) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

bool parse_ratio(std::string_view text, Rational& ratio) {
  size_t colon = text.find(':');
  if (colon == std::string_view::npos) return false;
  return parse_count(text.substr(0, colon), ratio.num) &&
         parse_count(text.substr(colon + 1), ratio.den);
}

[[noreturn]] void fail(const std::string& name, const std::string& problem) {
  throw ToolError(name, problem);
}

// Reads up to and including '\n'. Returns the number of bytes consumed
// (0 at end of file); `line` receives the text without the newline.
size_t read_line(std::FILE* file, std::string& line, size_t limit, bool& complete) {
  line.clear();
  complete = false;
  size_t consumed = 0;
  while (consumed <= limit) {
    int c = std::fgetc(file);
    if (c == EOF) return consumed;
    ++consumed;
    if (c == '\n') {
      complete = true;
      return consumed;
    }
    line.push_back(char(c));
  }
  return consumed;
}

}  // namespace

VideoFormat parse_y4m_header(const std::string& line, const std::string& name,
                             std::vector<std::string>* extra) {
  std::string_view rest(line);
  if (rest.substr(0, sizeof kSignature - 1) != kSignature ||
      (rest.size() > sizeof kSignature - 1 && rest[sizeof kSignature - 1] != ' ')) {
    fail(name, "not a YUV4MPEG2 stream (bad signature)");
  }
  rest.remove_prefix(sizeof kSignature - 1);

  VideoFormat format;
  bool have_width = false, have_height = false, have_rate = false;
  while (!rest.empty()) {
    rest.remove_prefix(1);  // the separating space
    size_t end = rest.find(' ');
    std::string_view token = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    if (token.empty()) fail(name, "malformed header (empty parameter)");
    std::string_view value = token.substr(1);
    std::string shown(token);
    int64_t number = 0;
    switch (token[0]) {
      case 'W':
        if (!parse_count(value, number) || number == 0) fail(name, "malformed parameter " + shown);
        format.width = int(number);
        have_width = true;
        break;
      case 'H':
        if (!parse_count(value, number) || number == 0) fail(name, "malformed parameter " + shown);
        format.height = int(number);
        have_height = true;
        break;
      case 'F':
        if (!parse_ratio(value, format.frame_rate) || format.frame_rate.num == 0 ||
            format.frame_rate.den == 0) {
          fail(name, "malformed parameter " + shown);
        }
        have_rate = true;
        break;
      case 'A':
        if (!parse_ratio(value, format.aspect)) fail(name, "malformed parameter " + shown);
        format.aspect_stated = true;
        break;
      case 'I':
        if (value == "p") format.interlace = Interlace::kProgressive;
        else if (value == "t") format.interlace = Interlace::kTopFirst;
        else if (value == "b") format.interlace = Interlace::kBottomFirst;
        else if (value == "m") format.interlace = Interlace::kMixed;
        else if (value == "?") format.interlace = Interlace::kUnknown;
        else fail(name, "unsupported interlacing " + shown);
        break;
      case 'C': {
        const ChromaTag* found = nullptr;
        for (const ChromaTag& tag : kChromaTags) {
          if (value == tag.tag) found = &tag;
        }
        if (!found) fail(name, "unsupported chroma format or depth " + shown);
        format.chroma = found->chroma;
        format.bit_depth = found->bit_depth;
        format.chroma_tag = found->tag;
        break;
      }
      case 'X':
        if (value == "COLORRANGE=FULL") {
          format.full_range = true;
          format.range_stated = true;
        } else if (value == "COLORRANGE=LIMITED") {
          format.full_range = false;
          format.range_stated = true;
        } else if (extra) {
          extra->emplace_back(value);
        }
        break;
      default:
        fail(name, "malformed header (unknown parameter " + shown + ")");
    }
  }
  if (!have_width) fail(name, "missing parameter W");
  if (!have_height) fail(name, "missing parameter H");
  if (!have_rate) fail(name, "missing parameter F");
  std::string size = std::to_string(format.width) + "x" + std::to_string(format.height);
  if (format.width > kMaxWidth || format.height > kMaxHeight) {
    fail(name, "frame size " + size + " is above the largest the filter processes (1920x1088)");
  }
  if (format.width < kMinWidth || format.height < kMinHeight) {
    fail(name, "frame size " + size + " is below the smallest the tool processes (16x16)");
  }
  return format;
}

Y4mReader::Y4mReader(std::FILE* file, std::string name) : file_(file), name_(std::move(name)) {
  std::string line;
  bool complete = false;
  header_bytes_ = read_line(file_, line, kMaxHeaderLine, complete);
  if (!complete) {
    if (std::ferror(file_)) fail(name_, std::string("read error: ") + std::strerror(errno));
    if (header_bytes_ == 0) fail(name_, "empty file (no YUV4MPEG2 header)");
    size_t n = std::min(line.size(), sizeof kSignature - 1);
    if (std::string_view(line).substr(0, n) != std::string_view(kSignature).substr(0, n)) {
      fail(name_, "not a YUV4MPEG2 stream (bad signature)");
    }
    fail(name_, header_bytes_ > kMaxHeaderLine ? "malformed header (line too long)"
                                               : "truncated header");
  }
  format_ = parse_y4m_header(line, name_, &extra_);
  raw_.resize(format_.frame_bytes());
}

Y4mReader::Y4mReader(std::FILE* file, std::string name, const VideoFormat& format)
    : file_(file), name_(std::move(name)), format_(format), raw_stream_(true) {
  raw_.resize(format_.frame_bytes());
}

bool Y4mReader::read_raw_frame(uint8_t* dst) {
  const std::string frame_name = "frame " + std::to_string(frames_read_);
  size_t got = std::fread(dst, 1, raw_.size(), file_);
  if (got == 0 && !std::ferror(file_)) return false;
  if (got != raw_.size()) {
    if (std::ferror(file_)) fail(name_, std::string("read error: ") + std::strerror(errno));
    fail(name_, "truncated " + frame_name + " (" + std::to_string(got) + " of " +
                    std::to_string(raw_.size()) + " bytes)");
  }
  ++frames_read_;
  return true;
}

bool Y4mReader::read_frame_bytes(uint8_t* dst) {
  if (raw_stream_) return read_raw_frame(dst);
  const std::string frame_name = "frame " + std::to_string(frames_read_);
  char marker[5];
  size_t got = std::fread(marker, 1, sizeof marker, file_);
  if (got == 0 && !std::ferror(file_)) return false;
  if (std::ferror(file_)) fail(name_, std::string("read error: ") + std::strerror(errno));
  if (got < sizeof marker) fail(name_, "truncated frame marker at " + frame_name);
  if (std::memcmp(marker, "FRAME", sizeof marker) != 0) fail(name_, "bad frame marker at " + frame_name);
  int c = std::fgetc(file_);
  if (c == ' ') {
    // Frame parameters: nothing in them changes how the tool reads the frame.
    std::string params;
    bool complete = false;
    read_line(file_, params, kMaxFrameHeaderLine, complete);
    if (!complete) fail(name_, "malformed frame header at " + frame_name);
  } else if (c != '\n') {
    fail(name_, c == EOF ? "truncated frame marker at " + frame_name
                         : "bad frame marker at " + frame_name);
  }
  got = std::fread(dst, 1, raw_.size(), file_);
  if (got != raw_.size()) {
    if (std::ferror(file_)) fail(name_, std::string("read error: ") + std::strerror(errno));
    fail(name_, "truncated " + frame_name + " (" + std::to_string(got) + " of " +
                    std::to_string(raw_.size()) + " bytes)");
  }
  ++frames_read_;
  return true;
}

bool Y4mReader::read_frame(PlanarFrame& frame) {
  if (!read_frame_bytes(raw_.data())) return false;
  frame.allocate(format_);
  const uint8_t* src = raw_.data();
  for (auto& plane : frame.plane) {
    if (format_.bit_depth > 8) {
      for (size_t i = 0; i < plane.size(); ++i, src += 2) plane[i] = uint16_t(src[0] | src[1] << 8);
    } else {
      for (size_t i = 0; i < plane.size(); ++i) plane[i] = *src++;
    }
  }
  return true;
}

bool Y4mReader::read_payload(uint8_t* dst) { return read_frame_bytes(dst); }

bool Y4mReader::skip_frame() { return read_frame_bytes(raw_.data()); }
