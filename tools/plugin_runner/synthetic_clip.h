#pragma once
// A generated clip that every platform and compiler renders identically: all
// arithmetic is on integers and the noise comes from a linear congruential
// generator seeded by the frame number, so frames can be read in any order
// and a 32-bit Windows build sees the same samples as a 64-bit Linux build.
//
// The picture has something for every stage of the filter: a diagonal
// gradient and an 8 x 8 checker (block edges) that pan across the frame, a
// bright object that moves against them (sharp luma edges with coloured
// ringing around them), a band of fine vertical stripes whose chroma flips
// sign from frame to frame (cross-colour), and noise on all three planes.
#include <cstdint>

#include "host/stand_in_host.h"

class SyntheticClip : public FrameSource {
 public:
  SyntheticClip(int width, int height, int frames);

  int width() const override { return width_; }
  int height() const override { return height_; }
  int frame_count() const override { return frames_; }
  bool read_frame(int n, PIXEL_YC* dst, int stride) override;

 private:
  int width_;
  int height_;
  int frames_;
};

// The generator behind the noise: 32-bit state, multiplier 1664525,
// increment 1013904223; next() returns the upper 16 bits of the new state.
class IntegerLcg {
 public:
  explicit IntegerLcg(uint32_t seed) : state_(seed) {}
  uint32_t next() {
    state_ = state_ * 1664525u + 1013904223u;
    return state_ >> 16;
  }
  // A value in [-amplitude, amplitude].
  int symmetric(int amplitude) {
    return static_cast<int>(next() % static_cast<uint32_t>(2 * amplitude + 1)) - amplitude;
  }

 private:
  uint32_t state_;
};
