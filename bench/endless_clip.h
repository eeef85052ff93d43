#pragma once
// A practically endless clip for the benchmarks: eight textured, noisy frames
// repeated, so that stepping forward never reaches the end.
#include <cstdint>
#include <cstring>
#include <vector>

#include "host/stand_in_host.h"

class EndlessClip : public FrameSource {
 public:
  EndlessClip(int w, int h) : w_(w), h_(h) {
    uint32_t state = 12345;
    auto noise = [&state]() {
      state = state * 1664525u + 1013904223u;
      return static_cast<int>((state >> 24) % 33) - 16;
    };
    for (auto& frame : frames_) {
      frame.resize(static_cast<size_t>(w) * h);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const int16_t luma = static_cast<int16_t>(500 + (x * 7 + y * 3) % 2500 + noise());
          const int16_t cb = static_cast<int16_t>(((x / 2) * 5) % 600 - 300 + noise());
          frame[static_cast<size_t>(y) * w + x] = {luma, cb, static_cast<int16_t>(-cb / 2)};
        }
    }
  }
  int width() const override { return w_; }
  int height() const override { return h_; }
  int frame_count() const override { return 1 << 20; }
  bool read_frame(int n, PIXEL_YC* dst, int stride) override {
    const auto& frame = frames_[n % 8];
    for (int y = 0; y < h_; ++y)
      std::memcpy(dst + static_cast<size_t>(y) * stride, frame.data() + static_cast<size_t>(y) * w_,
                  sizeof(PIXEL_YC) * w_);
    return true;
  }

 private:
  int w_, h_;
  std::vector<PIXEL_YC> frames_[8];
};
