#include "cli/clip_io/clip_input.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/tool_error.h"

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
  // A constructor that throws runs no destructor: what was opened is
  // released here.
  try {
    open(path, yc48_size, yc48_rate);
  } catch (...) {
    release();
    throw;
  }
}

void ClipInput::open(const std::string& path, FrameSize yc48_size, Rational yc48_rate) {
  SniffedInput sniffed = open_and_sniff(path);
  kind_ = sniffed.kind;
  identity_ = sniffed.identity;
  const int64_t size = sniffed.size;
  file_size_ = size;
  if (kind_ == ClipKind::kFfmpeg) {
    if (sniffed.regular) {
      // ffmpeg opens a regular file itself, which lets it seek; ffprobe
      // tells first what the y4m pipe would lose.
      ::close(sniffed.fd);
      DecoderInput decoder_input{path, -1, ""};
      if (std::optional<ProbedVideo> probed = probe_video(path)) {
        colour_source_ = *probed;
        if (auto raw = raw_layout_for(*probed)) {
          decoder_input.raw_pixel_format = raw->first;
          raw_format_ = raw->second;
        }
      }
      decoder_ = start_ffmpeg_decoder(decoder_input, path);
    } else {
      int fds[2];
      if (pipe2(fds, O_CLOEXEC) != 0) {
        if (sniffed.fd > 2) ::close(sniffed.fd);
        throw ToolError(path, std::string("cannot create a pipe: ") + std::strerror(errno));
      }
      try {
        decoder_ = start_ffmpeg_decoder(DecoderInput{"", fds[0], ""}, path);
      } catch (...) {
        ::close(fds[0]);
        ::close(fds[1]);
        if (sniffed.fd > 2) ::close(sniffed.fd);
        throw;
      }
      ::close(fds[0]);
      feeder_ = std::make_unique<InputFeeder>(sniffed.fd, sniffed.head, fds[1]);
    }
    file_ = decoder_.pipe();
  } else {
    seekable_ = sniffed.regular && path != "-";
    file_ = stream_with_head(sniffed);
    // The stream reads through a function of ours, a buffer's worth per call:
    // 1 MiB calls instead of 8 KiB ones (a 1920x1080 4:2:2 frame took 506).
    constexpr size_t kStreamBuffer = size_t(1) << 20;
    stream_buffer_ = std::make_unique<char[]>(kStreamBuffer);
    std::setvbuf(file_, stream_buffer_.get(), _IOFBF, kStreamBuffer);
  }

  if (kind_ == ClipKind::kYc48) {
    if (yc48_size.width == 0) throw ToolError(path, "raw .yc48 frames need --size WxH", 2);
    format_ = host_frame_format(yc48_size, yc48_rate);
    yc48_ = std::make_unique<Yc48Reader>(file_, name_, yc48_size.width, yc48_size.height);
    if (size >= 0) count_hint_ = size / int64_t(yc48_->frame_bytes());
    return;
  }
  try {
    if (raw_format_) {
      y4m_ = std::make_unique<Y4mReader>(file_, name_, *raw_format_);
    } else {
      y4m_ = std::make_unique<Y4mReader>(file_, name_);
    }
  } catch (const ToolError&) {
    // A decoder that could not read the file says why on stderr; name it
    // rather than blame the empty stream.
    if (kind_ == ClipKind::kFfmpeg) {
      decoder_.finish(name_, true);
      throw ToolError(name_, "ffmpeg produced no video");
    }
    throw;
  }
  format_ = y4m_->format();
  if (colour_source_) take_colour_tags(*colour_source_, format_);
  // Im says that each frame header tells its own field order, which the
  // module's settings cannot follow frame by frame.
  if (format_.interlace == Interlace::kMixed) {
    throw ToolError(name_, "interlacing Im (set frame by frame) is not supported; give the clip as Ip, It or Ib");
  }
  // Exact for frames without frame parameters, which is how they are written.
  if (kind_ == ClipKind::kY4m && size >= 0) {
    count_hint_ = (size - int64_t(y4m_->header_bytes())) / int64_t(format_.frame_bytes() + 6);
  }
  converter_ = std::make_unique<SampleConverter>(format_, format_.interlaced_layout());
}

ClipInput::~ClipInput() { release(); }

void ClipInput::release() {
  if (kind_ == ClipKind::kFfmpeg) {
    // The decoder goes first: a feeder that waits to write to it is then
    // released.
    decoder_.abandon();
    if (feeder_) feeder_->stop();
  } else if (file_) {
    std::fclose(file_);
  }
  file_ = nullptr;
}

void ClipInput::set_interlaced_chroma(bool interlaced) {
  if (y4m_) converter_->set_interlaced_chroma(interlaced);
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
  if (yc48_) {
    if (!yc48_->read_payload(dst)) return false;
    frames_read_.fetch_add(1, std::memory_order_relaxed);
    return true;
  }
  if (!y4m_->read_payload(dst)) return false;
  frames_read_.fetch_add(1, std::memory_order_relaxed);
  if (format_.bit_depth > 8) {
    // Samples above 2^b - 1 have a bit set above the sample's bits in the
    // high byte; they are clamped in the conversion.
    const uint8_t high_bits = uint8_t(0xFF << (format_.bit_depth - 8));
    uint8_t seen = 0;
    const size_t bytes = format_.frame_bytes();
    for (size_t i = 1; i < bytes; i += 2) seen |= dst[i];
    if (seen & high_bits) clamped_frames_.fetch_add(1, std::memory_order_relaxed);
  }
  return true;
}

void ClipInput::payload_to_host(const uint8_t* payload, PIXEL_YC* dst, int stride, int first_row,
                                int end_row) const {
  if (yc48_) {
    yc48_->payload_to_host(payload, dst, stride, first_row, end_row);
  } else {
    converter_->payload_to_host(payload, dst, stride, first_row, end_row);
  }
}

bool ClipInput::skip_frame() {
  const bool more = yc48_ ? yc48_->skip_frame() : y4m_->skip_frame();
  if (more) frames_read_.fetch_add(1, std::memory_order_relaxed);
  return more;
}

int64_t ClipInput::exact_frame_count() const {
  if (count_hint_ < 0) return -1;
  if (yc48_) return file_size_ == count_hint_ * int64_t(yc48_->frame_bytes()) ? count_hint_ : -1;
  const int64_t frame = int64_t(format_.frame_bytes()) + 6;
  return file_size_ == int64_t(y4m_->header_bytes()) + count_hint_ * frame ? count_hint_ : -1;
}

bool ClipInput::seek_to_frame(int64_t n) {
  if (!seekable_ || exact_frame_count() < 0 || n > count_hint_ || frames_read() > 0) return false;
  if (n == 0) return true;
  if (yc48_) {
    if (fseeko(file_, off_t(n * int64_t(yc48_->frame_bytes())), SEEK_SET) != 0) return false;
    yc48_->moved_to_frame(n);
    return true;
  }
  // The size is that of whole frames without parameters; frame n's marker
  // must also stand where that puts it.
  const int64_t header = int64_t(y4m_->header_bytes());
  const int64_t frame = int64_t(format_.frame_bytes()) + 6;
  const off_t offset = off_t(header + n * frame);
  if (fseeko(file_, offset, SEEK_SET) != 0) return false;
  char marker[6] = {};
  const bool found = n == count_hint_ || (std::fread(marker, 1, sizeof marker, file_) == sizeof marker &&
                                          std::memcmp(marker, "FRAME\n", sizeof marker) == 0);
  // Back to the frame's start, or to the first frame when it is not there.
  if (fseeko(file_, found ? offset : off_t(header), SEEK_SET) != 0) {
    throw ToolError(name_, std::string("cannot seek: ") + std::strerror(errno));
  }
  if (!found) return false;
  y4m_->moved_to_frame(n);
  return true;
}

void ClipInput::close(bool reached_end) {
  if (kind_ != ClipKind::kFfmpeg) return;
  if (!reached_end) {
    decoder_.abandon();
    if (feeder_) feeder_->stop();
    return;
  }
  // ffmpeg's messages on a clip it could not read to the end (a truncated
  // file) are errors although it exits with 0.
  if (feeder_) {
    feeder_->stop();
    if (!feeder_->read_error().empty()) {
      decoder_.abandon();
      throw ToolError(name_, feeder_->read_error());
    }
  }
  decoder_.finish(name_, true);
}
