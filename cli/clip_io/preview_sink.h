#pragma once
// The preview as one of the run's outputs: it takes the one frame it was
// asked for as the run renders it, beside the same frame of the input, and
// writes the PNG when the run completes.
#include <cstdint>
#include <string>
#include <vector>

#include "cli/options.h"
#include "engine/pixel.h"
#include "host/stand_in_host.h"

class PreviewSink {
 public:
  // width x height: the clip's own size (frames handed in may be padded).
  PreviewSink(const PreviewRequest& request, int width, int height);

  bool wants(int64_t n) const { return n == request_.frame && !taken_; }
  // Keeps frame n as rendered (rows `stride` pixels apart) beside the same
  // frame of `input`, converted from the clip.
  void take(FrameSource& input, int64_t n, const PIXEL_YC* rendered, int stride);
  // A ToolError when the frame asked for was not among those written.
  void check_taken() const;
  // Writes the PNG.
  void finish();

 private:
  PreviewRequest request_;
  int width_, height_;
  bool taken_ = false;
  std::vector<uint8_t> rgb_;
};
