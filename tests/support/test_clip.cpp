#include "support/test_clip.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

TestClip::TestClip(int width, int height, int frames)
    : width_(width), height_(height),
      frames_(frames, std::vector<PIXEL_YC>(static_cast<size_t>(width) * height)) {}

bool TestClip::read_frame(int n, PIXEL_YC* dst, int stride) {
  if (n < 0 || n >= frame_count()) return false;
  for (int y = 0; y < height_; ++y)
    std::memcpy(dst + static_cast<size_t>(y) * stride, frames_[n].data() + y * width_,
                sizeof(PIXEL_YC) * width_);
  return true;
}

void TestClip::fill(const std::function<PIXEL_YC(int, int, int)>& f) {
  for (int n = 0; n < frame_count(); ++n)
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x) frames_[n][y * width_ + x] = f(n, x, y);
}

TestClip TestClip::textured(int width, int height, int frames, uint32_t seed) {
  TestClip clip(width, height, frames);
  std::mt19937 rng(seed);
  const double phase = std::uniform_real_distribution<double>(0, 6.28)(rng);
  clip.fill([&](int n, int x, int y) {
    double luma = 600 + 2400.0 * x / width + 400 * std::sin(0.21 * x + 0.13 * y + phase);
    const int bx = 8 + 3 * n, by = height / 3;
    if (x >= bx && x < bx + width / 4 && y >= by && y < by + height / 4) luma += 900;
    const double cb = 300 * std::cos(0.05 * x + 0.02 * n);
    const double cr = -200 + 2.0 * y;
    auto s16 = [](double v) { return static_cast<int16_t>(std::lround(v)); };
    return PIXEL_YC{s16(luma), s16(cb), s16(cr)};
  });
  clip.share_chroma_in_pairs();
  return clip;
}

void TestClip::add_noise(double luma_sigma, double chroma_sigma, uint32_t seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> luma(0, luma_sigma), chroma(0, chroma_sigma > 0 ? chroma_sigma : 1);
  for (auto& frame : frames_)
    for (PIXEL_YC& p : frame) {
      p.y = static_cast<int16_t>(std::lround(p.y + luma(rng)));
      if (chroma_sigma > 0) {
        p.cb = static_cast<int16_t>(std::lround(p.cb + chroma(rng)));
        p.cr = static_cast<int16_t>(std::lround(p.cr + chroma(rng)));
      }
    }
  if (chroma_sigma > 0) share_chroma_in_pairs();
}

void TestClip::share_chroma_in_pairs() {
  for (auto& frame : frames_)
    for (int y = 0; y < height_; ++y)
      for (int x = 1; x < width_; x += 2) {
        PIXEL_YC& odd = frame[y * width_ + x];
        const PIXEL_YC& even = frame[y * width_ + x - 1];
        odd.cb = even.cb;
        odd.cr = even.cr;
      }
}

double luma_psnr(const std::vector<PIXEL_YC>& a, const std::vector<PIXEL_YC>& b) {
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    const double d = a[i].y - b[i].y;
    sum += d * d;
  }
  const double mse = std::max(sum / a.size(), 1e-12);
  return 10 * std::log10(4096.0 * 4096.0 / mse);
}
