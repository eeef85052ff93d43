#pragma once
// A small clip whose every sample is a known function of frame, column and
// row, for checking what the host delivers where.
#include <cstdint>

#include "host/stand_in_host.h"

class GeneratedClip : public FrameSource {
 public:
  GeneratedClip(int width, int height, int frames) : w_(width), h_(height), frames_(frames) {}

  static PIXEL_YC pixel(int n, int x, int y) {
    return {static_cast<int16_t>(n * 256 + y * 16 + x % 16),
            static_cast<int16_t>(-n * 64 - x),
            static_cast<int16_t>(n * 8 + y - x)};
  }

  int width() const override { return w_; }
  int height() const override { return h_; }
  int frame_count() const override { return frames_; }
  bool read_frame(int n, PIXEL_YC* dst, int stride) override {
    ++reads;
    if (n == unreadable_frame) return false;
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x) dst[y * stride + x] = pixel(n, x, y);
    return true;
  }

  int reads = 0;
  int unreadable_frame = -1;  // read_frame fails for this frame

 private:
  int w_, h_, frames_;
};

inline bool same_pixel(const PIXEL_YC& a, const PIXEL_YC& b) {
  return a.y == b.y && a.cb == b.cb && a.cr == b.cr;
}
