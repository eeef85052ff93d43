#include "cli/clip_io/preview_sink.h"

#include "cli/clip_io/png_preview.h"
#include "cli/tool_error.h"

PreviewSink::PreviewSink(const PreviewRequest& request, const OutputTarget& target, int width,
                         int height)
    : request_(request), width_(width), height_(height), file_(target) {}

void PreviewSink::take(FrameSource& input, int64_t n, const PIXEL_YC* rendered, int stride) {
  std::vector<PIXEL_YC> original(size_t(stride) * size_t(input.height()));
  if (!input.read_frame(int(n), original.data(), stride)) {
    throw ToolError("--preview", "frame " + std::to_string(n) + " is no longer held by the run");
  }
  rgb_ = render_preview(original.data(), rendered, width_, height_, stride);
  taken_ = true;
}

void PreviewSink::check_taken() const {
  if (!taken_) {
    throw ToolError("--preview", "frame " + std::to_string(request_.frame) +
                                     " is not among the frames written");
  }
}

void PreviewSink::finish() {
  check_taken();
  write_png(file_.file(), file_.target(), rgb_, 3 * width_ + 2 * kPreviewGap, height_);
  file_.close_file();
}
