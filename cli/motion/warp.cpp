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

// Nearest, halves away from zero, inside the int16 range (the values are
// finite sums of samples). Adding a half with the value's own sign and
// truncating rounds halves away from zero; for -0 it adds -0.5 instead of
// 0.5, which truncates to 0 all the same.
inline int16_t to_sample(float v) {
  const float c = std::min(std::max(v, -32768.0f), 32767.0f);
  return int16_t(int(c + std::copysign(0.5f, c)));
}

// Two layouts of a row being moved. With every pixel's chroma wanted, the
// three channels move together as one row of 3 x width samples, channel
// after channel within each pixel: the sample of channel c at x lies at
// 3x + c, its neighbour along the row 3 samples on, and the rows below hold
// it at the same place, so every channel sees the same taps in the same
// order without the pixels being split apart. With only the even pixels'
// chroma wanted (`even_chroma`), the channels are split into rows of their
// own, luma then Cb then Cr, and the chroma rows hold the even pixels'
// samples only: a third less to move, each still interpolated from the
// whole row, so it is the sample the full move gives there.
static_assert(offsetof(PIXEL_YC, cb) == 2 && offsetof(PIXEL_YC, cr) == 4, "three packed int16 channels");
constexpr int kChannels = 3;

inline const int16_t* samples(const PIXEL_YC* p) { return reinterpret_cast<const int16_t*>(p); }
inline int16_t* samples(PIXEL_YC* p) { return reinterpret_cast<int16_t*>(p); }

WARP_CLONES void widen(const int16_t* __restrict in, int count, float* __restrict out) {
  for (int i = 0; i < count; ++i) out[i] = in[i];
}

// Pixels 2p and 2p + 1 into the luma row and the chroma phases' place p.
void split_phases(const int16_t* __restrict in, int pairs, float* __restrict y, float* __restrict cb_even,
                  float* __restrict cb_odd, float* __restrict cr_even, float* __restrict cr_odd) {
  static const bool vectors = warp_avx2_usable();
  int p = vectors ? split_phases_avx2(in, pairs, y, cb_even, cb_odd, cr_even, cr_odd) : 0;
  for (; p < pairs; ++p) {
    y[2 * p] = in[6 * p];
    cb_even[p] = in[6 * p + 1];
    cr_even[p] = in[6 * p + 2];
    y[2 * p + 1] = in[6 * p + 3];
    cb_odd[p] = in[6 * p + 4];
    cr_odd[p] = in[6 * p + 5];
  }
}

// A source row split into its channels and widened by its edge pixels by
// `pad` (even) samples at both ends; each chroma row kept in its two
// phases, the samples at even places of the widened row and those at odd
// places.
struct SplitRow {
  float* luma;
  float* chroma[2][2];  // [Cb, Cr][even places, odd places]
};

void split_row(const PIXEL_YC* in, int width, int pad, const SplitRow& r) {
  const int16_t* s = samples(in);
  const int pairs = width / 2, half_pad = pad / 2;
  split_phases(s, pairs, r.luma + pad, r.chroma[0][0] + half_pad, r.chroma[0][1] + half_pad,
               r.chroma[1][0] + half_pad, r.chroma[1][1] + half_pad);
  if (width % 2 != 0) {
    r.luma[pad + width - 1] = s[3 * (width - 1)];
    for (int c = 0; c < 2; ++c) r.chroma[c][0][half_pad + pairs] = s[3 * (width - 1) + 1 + c];
  }
  std::fill(r.luma, r.luma + pad, r.luma[pad]);
  std::fill(r.luma + pad + width, r.luma + 2 * pad + width, r.luma[pad + width - 1]);
  for (int c = 0; c < 2; ++c) {
    const float first = r.chroma[c][0][half_pad];
    const int last_place = pad + width - 1;
    const float last = r.chroma[c][last_place % 2][last_place / 2];
    for (int i = 0; i < pad; ++i) r.chroma[c][i % 2][i / 2] = first;
    for (int i = pad + width; i < 2 * pad + width; ++i) r.chroma[c][i % 2][i / 2] = last;
  }
}

// Compilers turn the clamp of to_sample into compares and blends on vectors,
// which made this loop cost as much as the filters; the AVX2 form clamps
// with min and max instead.
void round_into(const float* __restrict in, int count, int16_t* __restrict out) {
  static const bool vectors = warp_avx2_usable();
  for (int i = vectors ? round_samples_avx2(in, count, out) : 0; i < count; ++i) out[i] = to_sample(in[i]);
}

// Output pixels x_first .. x_end - 1 from the split rows, rounded: the
// chroma of pixel x at x / 2, so that odd pixels repeat the chroma of the
// even pixel before them.
void store_pixels(const float* y, const float* cb, const float* cr, int x_first, int x_end, PIXEL_YC* out) {
  static const bool vectors = warp_avx2_usable();
  auto store = [&](int x) { out[x] = PIXEL_YC{to_sample(y[x]), to_sample(cb[x / 2]), to_sample(cr[x / 2])}; };
  int x = x_first;
  if (vectors) {
    // The vectors' groups start at even pixels, whose chroma opens a pair.
    if (x % 2 != 0 && x < x_end) store(x++);
    x = store_pixels_avx2(y, cb, cr, x, x_end, out);
  }
  for (; x < x_end; ++x) store(x);
}

// One output sample's taps summed in order from zero, kept in a register
// instead of going back to memory after each tap; the taps of one channel
// lie kStride samples apart. The AVX2 clone does the same operations eight
// lanes at a time (no fused multiply-add, so every lane rounds as the plain
// form does).
template <int kTaps, int kStride>
WARP_CLONES void filter_row(const float* __restrict e, const float* __restrict w, float* __restrict out, int count) {
  for (int i = 0; i < count; ++i) {
    float acc = 0.0f;
    for (int k = 0; k < 2 * kTaps; ++k) acc += w[k] * e[i + kStride * k];
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

// e: the sample at whole offset 1 - taps from output sample 0, the taps
// `stride` (1 or kChannels) samples apart.
template <int kStride>
void filter_row(int taps, const float* e, const float* w, float* out, int count) {
  switch (taps) {
    case 2: return filter_row<2, kStride>(e, w, out, count);
    case 4: return filter_row<4, kStride>(e, w, out, count);
    case 6: return filter_row<6, kStride>(e, w, out, count);
    default: return filter_row<8, kStride>(e, w, out, count);
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

// The even output samples of a split chroma row moved along the row, from
// its two phases: output sample 2m reads widened place first + 2m (+ k for
// tap k), which is phase (place mod 2) at place / 2.
void move_even(float* const phase[2], int first, const Axis& ax, int taps, float* out, int count) {
  auto at = [&](int place) -> const float* { return phase[place % 2] + place / 2; };
  if (ax.weights.empty()) {
    std::copy_n(at(first), count, out);
    return;
  }
  const float* rows[16];
  for (int k = 0; k < 2 * taps; ++k) rows[k] = at(first + 1 - taps + k);
  filter_column(taps, rows, ax.weights.data(), out, count);
}

// Work rows of one thread, kept from call to call: a run moves eight frames
// per output frame, and fresh buffers would be fresh pages each time.
struct WarpBuffers {
  std::vector<float> widened;  // one source row, widened at both ends (and split)
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
                  int taps, bool even_chroma) {
  thread_local WarpBuffers b;
  const int pad = (taps + 2 + std::abs(ax.whole)) / 2 * 2;  // even, > taps + |whole|
  const int widened = width + 2 * pad;
  const int chroma_width = (width + 1) / 2;  // split rows: the even pixels' chroma
  const int line = even_chroma ? width + 2 * chroma_width : kChannels * width;
  const int ring_rows = 2 * taps;
  b.widened.resize(size_t(kChannels) * size_t(widened));
  float* const e = b.widened.data();
  const int half = widened / 2;
  const SplitRow split{e, {{e + widened, e + widened + half}, {e + 2 * widened, e + 2 * widened + half}}};
  b.ring.resize(size_t(ring_rows) * size_t(line));
  b.held.assign(size_t(ring_rows), -1);
  b.moved.resize(size_t(line));
  // Source row s moved along the row: widened by its edge pixels first, so
  // that the loops over the row read no sample they must clamp.
  auto horizontal = [&](int s) -> const float* {
    float* h = b.ring.data() + size_t(s % ring_rows) * size_t(line);
    if (b.held[size_t(s % ring_rows)] == s) return h;
    b.held[size_t(s % ring_rows)] = s;
    const PIXEL_YC* in = source_row(first_row + s * row_step);
    if (even_chroma) {
      split_row(in, width, pad, split);
      const int first = pad + ax.whole;
      if (ax.weights.empty()) {
        std::copy_n(split.luma + first, width, h);
      } else {
        filter_row<1>(taps, split.luma + first + 1 - taps, ax.weights.data(), h, width);
      }
      for (int c = 0; c < 2; ++c) move_even(split.chroma[c], first, ax, taps, h + width + c * chroma_width, chroma_width);
      return h;
    }
    widen(samples(in), kChannels * width, e + kChannels * pad);
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
      filter_row<kChannels>(taps, from + kChannels * (1 - taps), ax.weights.data(), h, line);
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
    if (even_chroma) {
      store_pixels(o, o + width, o + width + chroma_width, x_first, x_end, out);
    } else {
      round_into(o + kChannels * x_first, kChannels * (x_end - x_first), samples(out + x_first));
    }
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
                 axis(-offset.y, taps), taps, g.even_chroma);
  } else {
    const Axis ay = axis(-offset.y / 2, taps);
    for (int parity = 0; parity < 2; ++parity) {
      warp_picture(source_row, centre, dst, g.width, (g.height - parity + 1) / 2, parity, 2, g.src_stride,
                   g.dst_stride, ax, ay, taps, g.even_chroma);
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
