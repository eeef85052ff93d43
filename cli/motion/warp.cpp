#include "cli/motion/warp.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "cli/motion/warp_avx2.h"

// The row loops are built twice where the processor may have AVX2, and the
// loader picks the form. Nothing in them fuses a multiply with an add, so
// both forms give the same samples.
// (GCC only: clang does not clone function templates.)
#if defined(__x86_64__) && defined(__linux__) && defined(__GNUC__) && !defined(__clang__)
#define WARP_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define WARP_CLONES
#endif

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

// Nearest, halves away from zero, inside the int16 range. The file is built
// without trapping maths, so that this runs on vectors (the values are
// finite sums of samples, and no trap is ever enabled). Adding a half with
// the value's own sign and truncating rounds halves away from zero; for -0
// it adds -0.5 instead of 0.5, which truncates to 0 all the same.
inline int16_t to_sample(float v) {
  const float c = std::min(std::max(v, -32768.0f), 32767.0f);
  return int16_t(int(c + std::copysign(0.5f, c)));
}

// The three channels of a pixel row are moved together as one row of
// 3 x width samples, channel after channel within each pixel: the sample of
// channel c at x lies at 3x + c, its neighbour along the row 3 samples on,
// and the rows below hold it at the same place. Every channel sees the
// same taps in the same order, so this gives the samples a loop per channel
// would, without splitting the pixels apart and merging them again.
static_assert(offsetof(PIXEL_YC, cb) == 2 && offsetof(PIXEL_YC, cr) == 4, "three packed int16 channels");
constexpr int kChannels = 3;

inline const int16_t* samples(const PIXEL_YC* p) { return reinterpret_cast<const int16_t*>(p); }
inline int16_t* samples(PIXEL_YC* p) { return reinterpret_cast<int16_t*>(p); }

WARP_CLONES void widen(const int16_t* __restrict in, int count, float* __restrict out) {
  for (int i = 0; i < count; ++i) out[i] = in[i];
}

// Compilers turn the clamp of to_sample into compares and blends on vectors,
// which made this loop cost as much as the filters; the AVX2 form clamps
// with min and max instead.
void round_into(const float* __restrict in, int count, int16_t* __restrict out) {
  static const bool vectors = warp_avx2_usable();
  if (vectors) return round_samples_avx2(in, count, out);
  for (int i = 0; i < count; ++i) out[i] = to_sample(in[i]);
}

// One output sample's taps summed in order from zero, kept in a register
// instead of going back to memory after each tap. The AVX2 clone does the
// same operations eight lanes at a time (no fused multiply-add, so every
// lane rounds as the plain form does).
template <int kTaps>
WARP_CLONES void filter_row(const float* __restrict e, const float* __restrict w, float* __restrict out, int count) {
  for (int i = 0; i < count; ++i) {
    float acc = 0.0f;
    for (int k = 0; k < 2 * kTaps; ++k) acc += w[k] * e[i + kChannels * k];
    out[i] = acc;
  }
}

template <int kTaps>
WARP_CLONES void filter_column(const float* const* __restrict rows, const float* __restrict w,
                               float* __restrict out, int count) {
  for (int i = 0; i < count; ++i) {
    float acc = 0.0f;
    for (int k = 0; k < 2 * kTaps; ++k) acc += w[k] * rows[k][i];
    out[i] = acc;
  }
}

// e: the pixel at whole offset 1 - taps from output pixel 0; count samples.
void filter_row(int taps, const float* e, const float* w, float* out, int count) {
  switch (taps) {
    case 2: return filter_row<2>(e, w, out, count);
    case 4: return filter_row<4>(e, w, out, count);
    case 6: return filter_row<6>(e, w, out, count);
    default: return filter_row<8>(e, w, out, count);
  }
}

void filter_column(int taps, const float* const* rows, const float* w, float* out, int count) {
  switch (taps) {
    case 2: return filter_column<2>(rows, w, out, count);
    case 4: return filter_column<4>(rows, w, out, count);
    case 6: return filter_column<6>(rows, w, out, count);
    default: return filter_column<8>(rows, w, out, count);
  }
}

// Work rows of one thread, kept from call to call: a run moves eight frames
// per output frame, and fresh buffers would be fresh pages each time.
struct WarpBuffers {
  std::vector<float> extended;  // one source row, widened at both ends
  // The source rows moved along the row that the output rows being made
  // read: source row s in ring row s mod ring_rows, held[] saying which.
  std::vector<float> ring;
  std::vector<int> held;
  std::vector<float> moved;  // one output row
};

// Moves one picture (a frame, or a field: `rows` rows `row_step` apart from
// `first_row`): each output row from the source rows its column taps read,
// each of those moved along the row once, when first read, into a ring of
// as many rows as the taps span (so the rows stay in the cache). Every
// output sample sums its taps in the same order, so the result does not
// depend on how the rows are walked.
void warp_picture(const SourceRow& source_row, const PIXEL_YC* centre, PIXEL_YC* dst, int width, int rows,
                  int first_row, int row_step, int src_stride, int dst_stride, const Axis& ax, const Axis& ay,
                  int taps) {
  thread_local WarpBuffers b;
  const int pad = taps + 1 + std::abs(ax.whole);
  const int line = kChannels * width;
  const int ring_rows = 2 * taps;
  b.extended.resize(size_t(kChannels) * size_t(width + 2 * pad));
  b.ring.resize(size_t(ring_rows) * size_t(line));
  b.held.assign(size_t(ring_rows), -1);
  b.moved.resize(size_t(line));
  // Source row s moved along the row: widened by its edge pixels first, so
  // that the loop over the row reads no sample it must clamp.
  auto horizontal = [&](int s) -> const float* {
    float* h = b.ring.data() + size_t(s % ring_rows) * size_t(line);
    if (b.held[size_t(s % ring_rows)] == s) return h;
    b.held[size_t(s % ring_rows)] = s;
    const PIXEL_YC* in = source_row(first_row + s * row_step);
    float* e = b.extended.data();
    widen(samples(in), line, e + kChannels * pad);
    for (int i = 0; i < pad; ++i) {
      for (int c = 0; c < kChannels; ++c) {
        e[kChannels * i + c] = e[kChannels * pad + c];
        e[kChannels * (pad + width + i) + c] = e[kChannels * (pad + width - 1) + c];
      }
    }
    const float* from = e + kChannels * (pad + ax.whole);
    if (ax.weights.empty()) {
      std::copy_n(from, line, h);
    } else {
      filter_row(taps, from + kChannels * (1 - taps), ax.weights.data(), h, line);
    }
    return h;
  };
  // The columns whose source point lies inside the picture.
  int x_first = 0, x_end = width;
  while (x_first < width && !inside(ax, x_first, width)) ++x_first;
  while (x_end > x_first && !inside(ax, x_end - 1, width)) --x_end;
  // Down the columns, row by row from the clamped source rows, into dst.
  for (int r = 0; r < rows; ++r) {
    const PIXEL_YC* own = centre + size_t(first_row + r * row_step) * size_t(src_stride);
    PIXEL_YC* out = dst + size_t(first_row + r * row_step) * size_t(dst_stride);
    if (!inside(ay, r, rows)) {
      std::copy_n(own, width, out);
      continue;
    }
    const float* o;
    if (ay.weights.empty()) {
      o = horizontal(std::clamp(r + ay.whole, 0, rows - 1));
    } else {
      const float* taps_rows[16];
      for (int k = 1 - taps; k <= taps; ++k) {
        taps_rows[k + taps - 1] = horizontal(std::clamp(r + ay.whole + k, 0, rows - 1));
      }
      filter_column(taps, taps_rows, ay.weights.data(), b.moved.data(), line);
      o = b.moved.data();
    }
    std::copy_n(own, x_first, out);
    round_into(o + kChannels * x_first, kChannels * (x_end - x_first), samples(out + x_first));
    std::copy(own + x_end, own + width, out + x_end);
  }
}

}  // namespace

void warp_frame(const SourceRow& source_row, const PIXEL_YC* centre, PIXEL_YC* dst, const WarpFrame& g,
                Translation offset, bool fields, int taps) {
  // dst(x) = src(x - offset): the source point lies -offset away.
  const Axis ax = axis(-offset.x, taps);
  if (!fields) {
    warp_picture(source_row, centre, dst, g.width, g.height, 0, 1, g.src_stride, g.dst_stride, ax,
                 axis(-offset.y, taps), taps);
  } else {
    const Axis ay = axis(-offset.y / 2, taps);
    for (int parity = 0; parity < 2; ++parity) {
      warp_picture(source_row, centre, dst, g.width, (g.height - parity + 1) / 2, parity, 2, g.src_stride,
                   g.dst_stride, ax, ay, taps);
    }
  }
  mirror_padding(dst, g);
}

void warp_frame(const PIXEL_YC* src, const PIXEL_YC* centre, PIXEL_YC* dst, const WarpFrame& g, Translation offset,
                bool fields, int taps) {
  const size_t stride = size_t(g.src_stride);
  warp_frame([src, stride](int r) { return src + size_t(r) * stride; }, centre, dst, g, offset, fields, taps);
}

void mirror_padding(PIXEL_YC* dst, const WarpFrame& g) {
  // Mirrored about the last column and row as the clip's frames are.
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
