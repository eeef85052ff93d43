#include "cli/motion/warp.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

double sinc(double x) { return x == 0 ? 1.0 : std::sin(kPi * x) / (kPi * x); }

// How one direction of the move is done: the source point of output sample
// i lies at i + whole + fraction; with a fraction, `weights` (2 x taps, for
// the samples at whole offsets 1 - taps .. taps, summing to 1) interpolate.
struct Axis {
  int whole = 0;
  double fraction = 0;
  std::vector<float> weights;
};

Axis axis(double source_offset, int taps) {
  Axis a;
  a.whole = int(std::floor(source_offset));
  a.fraction = source_offset - a.whole;
  if (a.fraction < 1e-6) a.fraction = 0;
  if (a.fraction > 1 - 1e-6) {
    a.fraction = 0;
    ++a.whole;
  }
  if (a.fraction == 0) return a;
  std::vector<double> raw(size_t(2 * taps));
  double sum = 0;
  for (int k = 1 - taps; k <= taps; ++k) {
    const double x = k - a.fraction;
    raw[size_t(k + taps - 1)] = std::fabs(x) < taps ? sinc(x) * sinc(x / taps) : 0.0;
    sum += raw[size_t(k + taps - 1)];
  }
  for (double r : raw) a.weights.push_back(float(r / sum));
  return a;
}

// Whether the source point of output sample i lies within the picture of
// `size` samples (with a fraction it needs a sample on either side).
bool inside(const Axis& a, int i, int size) {
  const int s = i + a.whole;
  return s >= 0 && s + (a.weights.empty() ? 0 : 1) <= size - 1;
}

// Nearest, halves away from zero, inside the int16 range.
int16_t to_sample(float v) {
  const float c = std::clamp(v, -32768.0f, 32767.0f);
  return int16_t(c >= 0 ? int(c + 0.5f) : -int(-c + 0.5f));
}

// One picture (a frame, or a field: `rows` rows `row_step` apart from
// `first_row`) of one channel moved, into float rows of `width`.
void move_channel(const PIXEL_YC* src, int channel, int width, int rows, int first_row, int row_step,
                  int src_stride, const Axis& ax, const Axis& ay, int taps, std::vector<float>& out) {
  const int pad = taps + 1 + std::abs(ax.whole);
  const int line = width + 2 * pad;
  std::vector<float> extended(static_cast<size_t>(line));
  std::vector<float> horizontal(size_t(rows) * size_t(width));
  // Horizontal: each row widened by its edge samples, so that the loop over
  // the row reads no sample it must clamp.
  for (int r = 0; r < rows; ++r) {
    const PIXEL_YC* in = src + size_t(first_row + r * row_step) * size_t(src_stride);
    for (int i = 0; i < line; ++i) {
      const PIXEL_YC& p = in[std::clamp(i - pad, 0, width - 1)];
      extended[size_t(i)] = channel == 0 ? p.y : channel == 1 ? p.cb : p.cr;
    }
    float* h = horizontal.data() + size_t(r) * size_t(width);
    const float* e = extended.data() + pad + ax.whole;
    if (ax.weights.empty()) {
      std::copy_n(e, width, h);
    } else {
      std::fill_n(h, width, 0.0f);
      for (int k = 1 - taps; k <= taps; ++k) {
        const float w = ax.weights[size_t(k + taps - 1)];
        const float* s = e + k;
        for (int x = 0; x < width; ++x) h[x] += w * s[x];
      }
    }
  }
  // Vertical, row by row from the clamped source rows.
  out.assign(size_t(rows) * size_t(width), 0.0f);
  for (int r = 0; r < rows; ++r) {
    float* o = out.data() + size_t(r) * size_t(width);
    if (ay.weights.empty()) {
      const int s = std::clamp(r + ay.whole, 0, rows - 1);
      std::copy_n(horizontal.data() + size_t(s) * size_t(width), width, o);
      continue;
    }
    for (int k = 1 - taps; k <= taps; ++k) {
      const float w = ay.weights[size_t(k + taps - 1)];
      const float* s = horizontal.data() + size_t(std::clamp(r + ay.whole + k, 0, rows - 1)) * size_t(width);
      for (int x = 0; x < width; ++x) o[x] += w * s[x];
    }
  }
}

void warp_picture(const PIXEL_YC* src, const PIXEL_YC* centre, PIXEL_YC* dst, int width, int rows, int first_row,
                  int row_step, int src_stride, int dst_stride, const Axis& ax, const Axis& ay, int taps) {
  std::vector<float> moved[3];
  for (int c = 0; c < 3; ++c) move_channel(src, c, width, rows, first_row, row_step, src_stride, ax, ay, taps, moved[c]);
  // The columns whose source point lies inside the picture.
  int x_first = 0, x_end = width;
  while (x_first < width && !inside(ax, x_first, width)) ++x_first;
  while (x_end > x_first && !inside(ax, x_end - 1, width)) --x_end;
  for (int r = 0; r < rows; ++r) {
    const PIXEL_YC* own = centre + size_t(first_row + r * row_step) * size_t(src_stride);
    PIXEL_YC* out = dst + size_t(first_row + r * row_step) * size_t(dst_stride);
    if (!inside(ay, r, rows)) {
      std::copy_n(own, width, out);
      continue;
    }
    std::copy_n(own, x_first, out);
    const size_t row = size_t(r) * size_t(width);
    for (int x = x_first; x < x_end; ++x) {
      out[x] = {to_sample(moved[0][row + size_t(x)]), to_sample(moved[1][row + size_t(x)]),
                to_sample(moved[2][row + size_t(x)])};
    }
    std::copy(own + x_end, own + width, out + x_end);
  }
}

}  // namespace

void warp_frame(const PIXEL_YC* src, const PIXEL_YC* centre, PIXEL_YC* dst, const WarpFrame& g, Translation offset,
                bool fields, int taps) {
  // dst(x) = src(x - offset): the source point lies -offset away.
  const Axis ax = axis(-offset.x, taps);
  if (!fields) {
    warp_picture(src, centre, dst, g.width, g.height, 0, 1, g.src_stride, g.dst_stride, ax, axis(-offset.y, taps),
                 taps);
  } else {
    const Axis ay = axis(-offset.y / 2, taps);
    for (int parity = 0; parity < 2; ++parity) {
      warp_picture(src, centre, dst, g.width, (g.height - parity + 1) / 2, parity, 2, g.src_stride, g.dst_stride, ax,
                   ay, taps);
    }
  }
  // The padding, mirrored about the last column and row as the clip's frames
  // are.
  for (int r = 0; r < g.height; ++r) {
    PIXEL_YC* row = dst + size_t(r) * size_t(g.dst_stride);
    for (int x = g.width; x < g.padded_width; ++x) row[x] = row[2 * g.width - 2 - x];
  }
  for (int r = g.height; r < g.padded_height; ++r) {
    std::copy_n(dst + size_t(2 * g.height - 2 - r) * size_t(g.dst_stride), g.padded_width,
                dst + size_t(r) * size_t(g.dst_stride));
  }
}

double kept_noise_variance(Translation offset, int taps) {
  double kept = 1;
  for (double o : {offset.x, offset.y}) {
    const Axis a = axis(-o, taps);
    double s = a.weights.empty() ? 1.0 : 0.0;
    for (float w : a.weights) s += double(w) * w;
    kept *= s;
  }
  return kept;
}
