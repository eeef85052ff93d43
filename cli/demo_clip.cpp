#include "cli/demo_clip.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

// The picture is designed in 8-bit code values and stored at 10 bits, so the
// light noise the default settings are made for is not lost to rounding.
constexpr double kScale = 4.0;

uint16_t clamp_sample(double v) { return uint16_t(std::clamp(std::lround(v), 0l, 1023l)); }

}  // namespace

VideoFormat demo_format() {
  VideoFormat format;
  format.width = 320;
  format.height = 240;
  format.chroma = ChromaFormat::k420;
  format.chroma_tag = "420p10";
  format.bit_depth = 10;
  format.interlace = Interlace::kProgressive;
  format.frame_rate = {24, 1};
  format.aspect = {1, 1};
  format.aspect_stated = true;
  return format;
}

void render_clean_frame(int index, PlanarFrame& frame) {
  const VideoFormat format = demo_format();
  frame.allocate(format);
  const int w = format.width, h = format.height;
  const double disc_x = 40 + 10.0 * index, disc_y = 120 + 30 * std::sin(index * 0.25);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      double v = 50 + 110.0 * x / w;                       // gradient
      if (y < h / 3) {                                     // fine texture
        v += 18 * std::sin(x * 0.45) * std::sin(y * 0.35);
      } else if (y >= 2 * h / 3) {                         // stripes scrolling down
        v += ((y - 2 * index) / 6) % 2 == 0 ? 25 : -25;
      }
      double dx = x - disc_x, dy = y - disc_y;
      if (dx * dx + dy * dy < 28 * 28) v = 205;            // the moving disc
      frame.plane[0][size_t(y) * w + x] = clamp_sample(kScale * v);
    }
  }
  const int cw = format.chroma_width(), ch = format.chroma_height();
  for (int y = 0; y < ch; ++y) {
    for (int x = 0; x < cw; ++x) {
      double cb = 128 + 40 * std::sin(2 * kPi * x / cw + index * 0.1);
      double cr = 128 + 30 * std::cos(2 * kPi * y / ch);
      double dx = 2 * x - disc_x, dy = 2 * y - disc_y;
      if (dx * dx + dy * dy < 28 * 28) {
        cb = 90;
        cr = 180;
      }
      frame.plane[1][size_t(y) * cw + x] = clamp_sample(kScale * cb);
      frame.plane[2][size_t(y) * cw + x] = clamp_sample(kScale * cr);
    }
  }
}

uint64_t GaussianNoise::next_bits() {
  uint64_t z = (state_ += 0x9E3779B97F4A7C15u);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  return z ^ (z >> 31);
}

double GaussianNoise::next() {
  if (have_spare_) {
    have_spare_ = false;
    return spare_;
  }
  // Uniforms in (0, 1]: never log(0).
  double u1 = double((next_bits() >> 11) + 1) / 9007199254740992.0;
  double u2 = double(next_bits() >> 11) / 9007199254740992.0;
  double r = std::sqrt(-2.0 * std::log(u1));
  spare_ = r * std::sin(2 * kPi * u2);
  have_spare_ = true;
  return r * std::cos(2 * kPi * u2);
}

void add_gaussian_noise(const PlanarFrame& clean, int index, uint64_t seed, PlanarFrame& noisy) {
  GaussianNoise noise(seed ^ (uint64_t(index) * 0xD1B54A32D192ED03u));
  for (int p = 0; p < 3; ++p) {
    const double sigma = p == 0 ? kDemoLumaSigma : kDemoChromaSigma;
    noisy.plane[p].resize(clean.plane[p].size());
    for (size_t i = 0; i < clean.plane[p].size(); ++i) {
      noisy.plane[p][i] = clamp_sample(clean.plane[p][i] + sigma * noise.next());
    }
  }
}
