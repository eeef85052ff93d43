#include "cli/quality_metrics.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int kWindow = 8;
constexpr int kStep = 4;

double psnr_of(double squared_error, int64_t samples, double peak) {
  if (samples == 0) return 0;
  if (squared_error == 0) return std::numeric_limits<double>::infinity();
  return 10.0 * std::log10(peak * peak / (squared_error / double(samples)));
}

}  // namespace

template <class T>
void QualityMetrics::add(int plane, const T* a, const T* b, int width, int height, int stride) {
  PlaneScore& score = score_[plane];
  for (int r = 0; r < height; ++r) {
    for (int x = 0; x < width; ++x) {
      double d = double(a[size_t(r) * stride + x]) - double(b[size_t(r) * stride + x]);
      score.squared_error += d * d;
    }
  }
  score.samples += int64_t(width) * height;

  const double c1 = (0.01 * peak_) * (0.01 * peak_);
  const double c2 = (0.03 * peak_) * (0.03 * peak_);
  // A plane smaller than a window is one window of its own size.
  const int window_w = std::min(kWindow, width);
  const int window_h = std::min(kWindow, height);
  for (int y0 = 0; y0 + window_h <= height; y0 += kStep) {
    for (int x0 = 0; x0 + window_w <= width; x0 += kStep) {
      double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
      for (int r = y0; r < y0 + window_h; ++r) {
        for (int x = x0; x < x0 + window_w; ++x) {
          double va = a[size_t(r) * stride + x], vb = b[size_t(r) * stride + x];
          sa += va;
          sb += vb;
          saa += va * va;
          sbb += vb * vb;
          sab += va * vb;
        }
      }
      const double n = double(window_w) * window_h;
      const double ma = sa / n, mb = sb / n;
      const double va = saa / n - ma * ma, vb = sbb / n - mb * mb, cov = sab / n - ma * mb;
      score.ssim_sum += ((2 * ma * mb + c1) * (2 * cov + c2)) /
                        ((ma * ma + mb * mb + c1) * (va + vb + c2));
      ++score.ssim_windows;
    }
  }
}

void QualityMetrics::add_plane(int plane, const uint16_t* a, const uint16_t* b, int width,
                               int height, int stride) {
  add(plane, a, b, width, height, stride);
}

void QualityMetrics::add_plane(int plane, const int16_t* a, const int16_t* b, int width,
                               int height, int stride) {
  add(plane, a, b, width, height, stride);
}

double QualityMetrics::psnr(int plane) const {
  return psnr_of(score_[plane].squared_error, score_[plane].samples, peak_);
}

double QualityMetrics::ssim(int plane) const {
  const PlaneScore& s = score_[plane];
  return s.ssim_windows ? s.ssim_sum / double(s.ssim_windows) : 0;
}

double QualityMetrics::psnr_all() const {
  double error = 0;
  int64_t samples = 0;
  for (const PlaneScore& s : score_) {
    error += s.squared_error;
    samples += s.samples;
  }
  return psnr_of(error, samples, peak_);
}

double QualityMetrics::ssim_all() const {
  double weighted = 0;
  int64_t samples = 0;
  for (int p = 0; p < 3; ++p) {
    weighted += ssim(p) * double(score_[p].samples);
    samples += score_[p].samples;
  }
  return samples ? weighted / double(samples) : 0;
}
