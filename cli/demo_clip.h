#pragma once
// The demo's built-in clip: 320 x 240, 24 frames, 4:2:0 10-bit limited range,
// with a gradient, fine texture, a disc moving across, stripes scrolling
// down, and colour; and Gaussian noise from a fixed seed, so that every run
// makes the same clips without any file from outside.
#include <cstdint>

#include "cli/video_format.h"

constexpr int kDemoFrames = 24;
// Noise a viewer can see: 5 codes of an 8-bit clip, in 10-bit code values.
constexpr double kDemoLumaSigma = 20.0;
constexpr double kDemoChromaSigma = 20.0;
constexpr uint64_t kDemoSeed = 0x51E7100Du;

VideoFormat demo_format();
void render_clean_frame(int index, PlanarFrame& frame);
// noisy = clean + round(N(0, sigma)), clamped to 0..1023; the noise of frame
// `index` depends only on the seed and the index.
void add_gaussian_noise(const PlanarFrame& clean, int index, uint64_t seed, PlanarFrame& noisy);

// Deterministic normal deviates (splitmix64 and Box-Muller), the same on
// every platform.
class GaussianNoise {
 public:
  explicit GaussianNoise(uint64_t seed) : state_(seed) {}
  double next();  // mean 0, standard deviation 1

 private:
  uint64_t next_bits();
  uint64_t state_;
  bool have_spare_ = false;
  double spare_ = 0;
};
