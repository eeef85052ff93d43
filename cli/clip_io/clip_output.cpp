#include "cli/clip_io/clip_output.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <regex>

#include "cli/tool_error.h"

namespace {

// ffmpeg reads "%d", "%03d" in an image file name as a frame number and
// writes a file per frame: files that could neither be made under
// temporary names nor removed after a failure.
bool names_an_image_sequence(const std::string& path) {
  static const std::regex pattern("%[0-9]*d");
  return std::regex_search(std::filesystem::path(path).filename().string(), pattern);
}

}  // namespace

ClipKind output_kind(const std::string& path) {
  if (path == "-" || has_extension(path, ".y4m")) return ClipKind::kY4m;
  if (has_extension(path, ".yc48")) return ClipKind::kYc48;
  return ClipKind::kFfmpeg;
}

ClipOutput::ClipOutput(const std::string& path, const VideoFormat& format, bool interlaced_chroma,
                       const std::vector<std::string>& encoder_args)
    : ClipOutput(plan_outputs("", FileIdentity{}, {path}).front(), format, interlaced_chroma,
                 encoder_args) {}

ClipOutput::ClipOutput(const OutputTarget& target, const VideoFormat& format, bool interlaced_chroma,
                       const std::vector<std::string>& encoder_args,
                       const std::vector<std::string>& y4m_extra)
    : name_(target.name), kind_(output_kind(target.name)), format_(format) {
  if (!encoder_args.empty() && kind_ != ClipKind::kFfmpeg) {
    throw ToolError("--encoder-args", "only applies to an output written through ffmpeg", 2);
  }
  if (kind_ == ClipKind::kFfmpeg && names_an_image_sequence(name_)) {
    throw ToolError(name_, "names a numbered image sequence, which is not written; "
                           "write a clip, or pipe y4m ('-') into ffmpeg");
  }
  pending_ = std::make_unique<PendingOutput>(target);
  if (kind_ == ClipKind::kFfmpeg) {
    // ffmpeg writes the file itself: the temporary one, or a FIFO or a
    // device by its name, which the tool keeps open until the encoder is
    // done (a reader of a FIFO sees its end only when the last writer
    // closes); the tool's standard output it inherits.
    std::string destination =
        target.kind == TargetKind::kStandardOutput ? "pipe:1" : pending_->write_path();
    if (target.temporary()) pending_->close_file();
    // Colour tags that the y4m pipe cannot carry go to the encoder directly.
    std::vector<std::string> tags;
    if (!format.colour_matrix.empty()) tags.insert(tags.end(), {"-colorspace", format.colour_matrix});
    if (!format.colour_primaries.empty()) tags.insert(tags.end(), {"-color_primaries", format.colour_primaries});
    if (!format.colour_transfer.empty()) tags.insert(tags.end(), {"-color_trc", format.colour_transfer});
    encoder_ = start_ffmpeg_encoder(tags, encoder_args, destination, name_);
    file_ = encoder_.pipe();
  } else {
    file_ = pending_->file();
  }
  if (kind_ == ClipKind::kYc48) {
    yc48_ = std::make_unique<Yc48Writer>(file_, name_, format.width, format.height);
  } else {
    converter_ = std::make_unique<SampleConverter>(format_, interlaced_chroma);
    y4m_ = std::make_unique<Y4mWriter>(file_, name_, format_,
                                       kind_ == ClipKind::kY4m ? y4m_extra : std::vector<std::string>{});
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
  if (encoder_stopped_) return;
  payload_.resize(format_.frame_bytes());
  converter_->host_to_payload(src, stride, payload_.data());
  try {
    y4m_->write_payload(payload_.data());
  } catch (const ToolError&) {
    if (kind_ != ClipKind::kFfmpeg) throw;
    // The encoder has closed its end: its own failure is the error to
    // report, not the broken pipe. One that ended well stopped on request
    // (-frames:v, -t, -fs) and wants no more frames.
    encoder_.finish(name_);
    encoder_stopped_ = true;
  }
}

void ClipOutput::finish() {
  if (kind_ == ClipKind::kFfmpeg) encoder_.finish(name_);
  pending_->close_file();
}

void ClipOutput::commit() { pending_->commit(); }
