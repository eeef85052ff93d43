#include "cli/clip_io/clip_input.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/tool_error.h"

namespace {

int64_t file_size(std::FILE* file) {
  struct stat info;
  if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
  return int64_t(info.st_size);
}

}  // namespace

VideoFormat host_frame_format(FrameSize size, Rational rate) {
  VideoFormat format;
  format.width = size.width;
  format.height = size.height;
  format.chroma = ChromaFormat::k444;
  format.bit_depth = 10;
  format.chroma_tag = "444p10";
  format.interlace = Interlace::kProgressive;
  format.frame_rate = rate;
  format.range_stated = true;
  return format;
}

ClipInput::ClipInput(const std::string& path, FrameSize yc48_size, Rational yc48_rate)
    : name_(path) {
  if (path != "-") {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) throw ToolError(path, std::strerror(errno));
    if (S_ISDIR(info.st_mode)) throw ToolError(path, "is a directory");
  } else if (isatty(STDIN_FILENO)) {
    throw ToolError("-", "standard input is a terminal, not a video stream");
  }
  kind_ = input_kind(path);
  if (kind_ == ClipKind::kFfmpeg) {
    decoder_ = start_ffmpeg_decoder(path);
    file_ = decoder_.pipe();
  } else if (path == "-") {
    file_ = stdin;
  } else {
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) throw ToolError(path, std::strerror(errno));
    owns_file_ = true;
  }
  std::setvbuf(file_, nullptr, _IOFBF, 1 << 20);
  identity_ = kind_ == ClipKind::kFfmpeg ? identity_of_path(path) : identity_of_descriptor(fileno(file_));

  if (kind_ == ClipKind::kYc48) {
    if (yc48_size.width == 0) throw ToolError(path, "raw .yc48 frames need --size WxH", 2);
    format_ = host_frame_format(yc48_size, yc48_rate);
    yc48_ = std::make_unique<Yc48Reader>(file_, name_, yc48_size.width, yc48_size.height);
    int64_t size = file_size(file_);
    if (size >= 0) count_hint_ = size / int64_t(yc48_->frame_bytes());
    return;
  }
  try {
    y4m_ = std::make_unique<Y4mReader>(file_, name_);
  } catch (const ToolError&) {
    // A decoder that could not read the file says why on stderr; name it
    // rather than blame the empty stream.
    if (kind_ == ClipKind::kFfmpeg) {
      decoder_.finish(name_);
      throw ToolError(name_, "ffmpeg produced no video");
    }
    throw;
  }
  format_ = y4m_->format();
  int64_t size = kind_ == ClipKind::kY4m ? file_size(file_) : -1;
  // Exact for frames without frame parameters, which is how they are written.
  if (size >= 0) {
    count_hint_ = (size - int64_t(y4m_->header_bytes())) / int64_t(format_.frame_bytes() + 6);
  }
  converter_ = std::make_unique<SampleConverter>(format_, format_.interlaced_layout());
}

ClipInput::~ClipInput() {
  if (owns_file_ && file_) std::fclose(file_);
}

void ClipInput::set_interlaced_chroma(bool interlaced) {
  if (y4m_) converter_ = std::make_unique<SampleConverter>(format_, interlaced);
}

bool ClipInput::read_frame(PIXEL_YC* dst, int stride) {
  payload_.resize(payload_bytes());
  if (!read_payload(payload_.data())) return false;
  payload_to_host(payload_.data(), dst, stride);
  return true;
}

size_t ClipInput::payload_bytes() const {
  return yc48_ ? yc48_->frame_bytes() : format_.frame_bytes();
}

bool ClipInput::read_payload(uint8_t* dst) {
  return yc48_ ? yc48_->read_payload(dst) : y4m_->read_payload(dst);
}

void ClipInput::payload_to_host(const uint8_t* payload, PIXEL_YC* dst, int stride) const {
  if (yc48_) {
    yc48_->payload_to_host(payload, dst, stride);
  } else {
    converter_->payload_to_host(payload, dst, stride);
  }
}

bool ClipInput::skip_frame() { return yc48_ ? yc48_->skip_frame() : y4m_->skip_frame(); }

void ClipInput::close(bool reached_end) {
  if (kind_ != ClipKind::kFfmpeg) return;
  if (reached_end) decoder_.finish(name_);
  else decoder_.abandon();
}
