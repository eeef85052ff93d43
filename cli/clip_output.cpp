#include "cli/clip_output.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/tool_error.h"

void check_output_target(const std::string& input, const std::string& output) {
  if (output == "-") {
    if (isatty(STDOUT_FILENO)) {
      throw ToolError("-", "standard output is a terminal; refusing to write video to it");
    }
    return;
  }
  struct stat out_info;
  if (stat(output.c_str(), &out_info) == 0) {
    if (S_ISDIR(out_info.st_mode)) throw ToolError(output, "is a directory");
    struct stat in_info;
    if (input != "-" && stat(input.c_str(), &in_info) == 0 && in_info.st_dev == out_info.st_dev &&
        in_info.st_ino == out_info.st_ino) {
      throw ToolError(output, "is the input file; write the output elsewhere");
    }
  }
  if (input != "-") {
    std::error_code error_in, error_out;
    auto a = std::filesystem::weakly_canonical(input, error_in);
    auto b = std::filesystem::weakly_canonical(output, error_out);
    if (!error_in && !error_out && a == b) {
      throw ToolError(output, "is the input file; write the output elsewhere");
    }
  }
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
