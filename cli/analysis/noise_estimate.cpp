#include "cli/analysis/noise_estimate.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kBlock = 8;

// A pure-noise block of 64 samples reads, at the 10th percentile of many such
// blocks, this fraction of the true level (measured on flat planes with
// Gaussian noise of 3 and 6 codes, 720x480, 19 frame pairs: the two levels
// agree within 0.1%).
constexpr double kTemporalPercentileRatio = 0.8830;
constexpr double kSpatialPercentileRatio = 0.7935;

bool clipped(const float* row, int n, float max_code) {
  for (int i = 0; i < n; ++i) {
    if (row[i] <= 0.0f || row[i] >= max_code) return true;
  }
  return false;
}

bool flat(const Plane& plane, int x0, int y0) {
  const float v = plane.at(x0, y0);
  for (int y = y0; y < y0 + kBlock; ++y) {
    const float* r = plane.row(y) + x0;
    for (int i = 0; i < kBlock; ++i) {
      if (r[i] != v) return false;
    }
  }
  return true;
}

}  // namespace

void BlockNoise::add_temporal(const Plane& prev, const Plane& cur, int dx, int dy, float max_code) {
  const int x0 = std::max(0, dx), x1 = std::min(cur.width, prev.width + dx);
  const int y0 = std::max(0, dy), y1 = std::min(cur.height, prev.height + dy);
  for (int by = y0; by + kBlock <= y1; by += kBlock) {
    for (int bx = x0; bx + kBlock <= x1; bx += kBlock) {
      double sum = 0, squares = 0;
      bool unusable = false;
      for (int y = by; y < by + kBlock && !unusable; ++y) {
        const float* c = cur.row(y) + bx;
        const float* p = prev.row(y - dy) + bx - dx;
        unusable = clipped(c, kBlock, max_code) || clipped(p, kBlock, max_code);
        for (int i = 0; i < kBlock; ++i) {
          const double d = double(c[i]) - double(p[i]);
          sum += d;
          squares += d * d;
        }
      }
      // A block that did not change at all was copied (a still block of a
      // compressed stream, a frame repeated): it tells nothing of the noise.
      if (unusable || squares == 0 || (flat(cur, bx, by) && flat(prev, bx - dx, by - dy))) continue;
      // The block's mean difference is left out: a change of brightness is
      // not noise.
      const double n = kBlock * kBlock;
      const double variance = std::max(0.0, (squares - sum * sum / n) / (n - 1));
      sigmas_.push_back(float(std::sqrt(variance / 2)));
    }
  }
}

void BlockNoise::add_spatial(const Plane& plane, bool fields, float max_code) {
  spatial_ = true;
  const int v = fields ? 2 : 1;
  for (int by = v; by + kBlock + v <= plane.height; by += kBlock) {
    for (int bx = 1; bx + kBlock + 1 <= plane.width; bx += kBlock) {
      double squares = 0;
      bool unusable = false;
      for (int y = by; y < by + kBlock && !unusable; ++y) {
        const float* up = plane.row(y - v) + bx;
        const float* mid = plane.row(y) + bx;
        const float* down = plane.row(y + v) + bx;
        unusable = clipped(mid - 1, kBlock + 2, max_code);
        for (int i = 0; i < kBlock; ++i) {
          const double r = 4.0 * mid[i] - 2.0 * (mid[i - 1] + mid[i + 1] + up[i] + down[i]) +
                           (up[i - 1] + up[i + 1] + down[i - 1] + down[i + 1]);
          squares += r * r;
        }
      }
      if (unusable || flat(plane, bx, by)) continue;
      sigmas_.push_back(float(std::sqrt(squares / (kBlock * kBlock)) / 6.0));
    }
  }
}

void BlockNoise::merge(const BlockNoise& other) {
  spatial_ = spatial_ || other.spatial_;
  sigmas_.insert(sigmas_.end(), other.sigmas_.begin(), other.sigmas_.end());
}

double BlockNoise::estimate() const {
  if (sigmas_.empty()) return 0.0;
  std::vector<float> sorted = sigmas_;
  const size_t k = size_t(kNoisePercentile * double(sorted.size() - 1));
  std::nth_element(sorted.begin(), sorted.begin() + ptrdiff_t(k), sorted.end());
  const double ratio = spatial_ ? kSpatialPercentileRatio : kTemporalPercentileRatio;
  return double(sorted[k]) / ratio;
}

double BlockNoise::share_within(double factor) const {
  if (sigmas_.empty()) return 0.0;
  const double limit = factor * estimate();
  size_t n = 0;
  for (float s : sigmas_) n += s <= limit ? 1 : 0;
  return double(n) / double(sigmas_.size());
}
