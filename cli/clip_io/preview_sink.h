#pragma once
// The preview as one of the run's outputs: its file is made when the run
// starts, it takes the one frame it was asked for as the run renders it,
// beside the same frame of the input, writes the PNG when the frames are
// done and is committed with the run's other outputs.
#include <cstdint>
#include <string>
#include <vector>

#include "cli/clip_io/pending_output.h"
#include "cli/options.h"
#include "engine/pixel.h"
#include "host/stand_in_host.h"

class PreviewSink {
 public:
  // width x height: the clip's own size (frames handed in may be padded).
  PreviewSink(const PreviewRequest& request, const OutputTarget& target, int width, int height);

  bool wants(int64_t n) const { return n == request_.frame && !taken_; }
  // Keeps frame n as rendered (rows `stride` pixels apart) beside the same
  // frame of `input`, converted from the clip.
  void take(FrameSource& input, int64_t n, const PIXEL_YC* rendered, int stride);
  // A ToolError when the frame asked for was not among those written.
  void check_taken() const;
  // Writes the PNG.
  void finish();
  void commit() { file_.commit(); }

 private:
  PreviewRequest request_;
  int width_, height_;
  PendingOutput file_;
  bool taken_ = false;
  std::vector<uint8_t> rgb_;
};
