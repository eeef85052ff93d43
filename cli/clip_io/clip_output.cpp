#include "cli/clip_io/clip_output.h"

#include <cerrno>
#include <cstring>

#include "cli/tool_error.h"

ClipKind output_kind(const std::string& path) {
  if (path == "-" || has_extension(path, ".y4m")) return ClipKind::kY4m;
  if (has_extension(path, ".yc48")) return ClipKind::kYc48;
  return ClipKind::kFfmpeg;
}

ClipOutput::ClipOutput(const std::string& path, const VideoFormat& format, bool interlaced_chroma,
                       const std::vector<std::string>& encoder_args)
    : name_(path), kind_(output_kind(path)), format_(format) {
  if (!encoder_args.empty() && kind_ != ClipKind::kFfmpeg) {
    throw ToolError("--encoder-args", "only applies to an output written through ffmpeg", 2);
  }
  if (path == "-") {
    file_ = stdout;
    std::setvbuf(file_, nullptr, _IOFBF, 1 << 20);
  } else {
    pending_ = std::make_unique<PendingOutput>(path);
    if (kind_ == ClipKind::kFfmpeg) {
      pending_->close_file();  // ffmpeg writes the temporary file itself
      encoder_ = start_ffmpeg_encoder(encoder_args, pending_->temp_path(), path);
      file_ = encoder_.pipe();
    } else {
      file_ = pending_->file();
    }
  }
  if (kind_ == ClipKind::kYc48) {
    yc48_ = std::make_unique<Yc48Writer>(file_, name_, format.width, format.height);
  } else {
    converter_ = std::make_unique<SampleConverter>(format_, interlaced_chroma);
    y4m_ = std::make_unique<Y4mWriter>(file_, name_, format_);
  }
}

ClipOutput::~ClipOutput() {
  // Without finish() the run failed: stop the encoder before the pending
  // output removes its temporary file.
  encoder_.abandon();
}

void ClipOutput::write_frame(const PIXEL_YC* src, int stride) {
  if (yc48_) {
    yc48_->write_frame(src, stride);
    return;
  }
  payload_.resize(format_.frame_bytes());
  converter_->host_to_payload(src, stride, payload_.data());
  y4m_->write_payload(payload_.data());
}

void ClipOutput::finish() {
  if (kind_ == ClipKind::kFfmpeg) {
    encoder_.finish(name_);
  } else if (!pending_) {
    if (std::fflush(file_) != 0) throw ToolError(name_, std::string("write failed: ") + std::strerror(errno));
  }
  if (pending_) pending_->commit();
}
