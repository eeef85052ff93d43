// Block noise reduction, plain integer form.
//
// Numerical contract, per interior pixel (x, y) with vertical step f:
// - the local mean is m = (s + 8) >> 4 (arithmetic shift) of the 3x3 luma
//   neighbourhood on rows y - f, y, y + f, weight 8 on the pixel and 1 elsewhere;
// - the 81 luma values of the nine 3x3 patches centred on the pixel and its
//   eight neighbours are reduced by m and held as int16_t, so a difference
//   outside -32768 .. 32767 wraps exactly as the C conversion does;
// - a neighbour patch is accepted when each of its eight non-centre absolute
//   differences to the pixel's own patch (formed in 32 bits from the stored
//   int16 values) is below t1 and their 32-bit sum is below t2;
// - the output is m + (acc + n / 2) / n (division truncating toward zero),
//   acc summing the stored centre differences of the pixel and the accepted
//   neighbours, n counting them; the result is held as int16_t.
// Rows y < 2f and y >= h - 2f and columns 0, 1, w-2, w-1 are copied, so every
// read stays inside the frame. Chroma is copied unchanged.
//
// block_nr_rows_c is the plain form. On x86 block_nr_rows hands each row's
// interior pixels to the vector form (engine/x86/block_nr_sse3.cpp), which
// works on the rows' luma gathered into 16-bit lines and gives the same
// results; a row it declines is done by the plain form.
#include "prefilter/block_nr.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include "engine/x86/block_nr_sse3.h"
#include "engine/x86/sse2_forms.h"
#include "prefilter/luma_lines.h"
#define BLOCK_NR_HAS_VECTOR_FORM 1
#endif

namespace {

// Patches are numbered j = 3k + m (k, m = 0..2): patch j is centred on row
// y + (k - 1) f and column x + (m - 1); element e = 3r + c of a patch lies
// (r - 1) f rows and (c - 1) columns from its centre. Patch 4 is the pixel's
// own; the others are compared with it in this order.
constexpr int kNeighbourPatches[8] = {0, 1, 2, 3, 5, 6, 7, 8};
constexpr int kNonCentreElements[8] = {0, 1, 2, 3, 5, 6, 7, 8};
constexpr int32_t kMeanWeights[9] = {1, 1, 1, 1, 8, 1, 1, 1, 1};  // sum 16

// Skin tones get a fifth of the thresholds so that faces keep their fine
// texture; every bound is exclusive.
bool in_skin_tone_box(const PIXEL_YC& p) {
  return p.y > 1400 && p.y < 3000 && p.cb > -680 && p.cb < 280 && p.cr > -50 && p.cr < 600;
}

// `at` points at the source pixel; `row_step` is f rows in pixels.
int16_t filtered_luma(const PIXEL_YC* at, ptrdiff_t row_step, int32_t t1, int32_t t2) {
  // Local mean from the patch centres (the 3x3 neighbourhood of the pixel).
  int32_t s = 0;
  for (int j = 0; j < 9; ++j) {
    const PIXEL_YC* centre = at + (j / 3 - 1) * row_step + (j % 3 - 1);
    s += kMeanWeights[j] * centre->y;
  }
  const int32_t m = (s + 8) >> 4;

  // The nine patches overlap: together they cover the 5x5 block on rows
  // y - 2f .. y + 2f and columns x - 2 .. x + 2, and element e = 3r + c of
  // patch j = 3k + m is block[k + r][m + c]. Each of the 25 values is reduced
  // by m once; the patches are read from the block.
  int16_t block[5][5];
  for (int r = 0; r < 5; ++r) {
    const PIXEL_YC* row = at + (r - 2) * row_step;
    for (int c = 0; c < 5; ++c) block[r][c] = static_cast<int16_t>(row[c - 2].y - m);
  }

  int32_t acc = block[2][2];
  int32_t n = 1;
  for (int j : kNeighbourPatches) {
    const int k = j / 3, mm = j % 3;
    // A difference at or above t1 counts as t2 and alone makes the sum reach
    // t2, so the neighbour is accepted exactly when the largest difference is
    // below t1 and the plain sum below t2 (thresholds are never negative; with
    // a negative threshold nothing is accepted).
    int32_t sum = 0;
    int32_t largest = 0;
    for (int e : kNonCentreElements) {
      const int r = e / 3, c = e % 3;
      const int32_t own = block[1 + r][1 + c];
      const int32_t other = block[k + r][mm + c];
      const int32_t d = std::abs(own - other);
      largest = std::max(largest, d);
      sum += d;
    }
    const bool close = largest < t1;
    if (close && sum < t2) {
      acc += block[k + 1][mm + 1];
      n += 1;
    }
  }
  const int32_t q = (acc + n / 2) / n;
  return static_cast<int16_t>(m + q);
}

void copy_row(const PIXEL_YC* src, PIXEL_YC* dst, int32_t w) {
  std::memcpy(dst, src, static_cast<size_t>(w) * sizeof(PIXEL_YC));
}

// The pixel's thresholds, a fifth of them for skin tones outside anime mode.
inline void pixel_thresholds(const BlockNrJob& job, const PIXEL_YC& p, int32_t& t1, int32_t& t2) {
  t1 = job.t1;
  t2 = job.t2;
  if (!job.anime && in_skin_tone_box(p)) {
    t1 /= 5;
    t2 /= 5;
  }
}

#if defined(BLOCK_NR_HAS_VECTOR_FORM)
// Frames up to this width go through the vector form; the lines below live
// on the worker's stack.
constexpr int32_t kVectorMaxWidth = 2048;

// Rows y - 2f .. y + 2f of consecutive rows y, in both modes, have distinct
// slots among ten.
using BlockLumaLines = LumaLines<10, kVectorMaxWidth>;

// The interior pixels [2, w-2) of row y through the vector form, or through
// the plain form when the vector form declines the row.
void filter_row_vector(const BlockNrJob& job, int32_t y, int32_t f, BlockLumaLines& lines) {
  const ptrdiff_t row_step = f * static_cast<ptrdiff_t>(job.stride);
  const PIXEL_YC* src = job.src + y * static_cast<ptrdiff_t>(job.stride);
  PIXEL_YC* dst = job.dst + y * static_cast<ptrdiff_t>(job.stride);
  const int32_t count = job.w - 4;
  int16_t cb[kVectorMaxWidth], cr[kVectorMaxWidth], out[kVectorMaxWidth];
  const int16_t* rows[5];
  for (int r = 0; r < 5; ++r) rows[r] = lines.row(y + (r - 2) * f) + 2;
  for (int32_t i = 0; i < count; ++i) {
    cb[i] = src[2 + i].cb;
    cr[i] = src[2 + i].cr;
  }
  const BlockNrThresholds thresholds{
      static_cast<int16_t>(job.t1), static_cast<int16_t>(job.t2),
      static_cast<int16_t>(job.t1 / 5), static_cast<int16_t>(job.t2 / 5), !job.anime};
  // Chroma and the edge columns pass through; the interior luma is replaced.
  copy_row(src, dst, job.w);
  if (block_nr_luma_sse3(rows, cb, cr, thresholds, count, out)) {
    for (int32_t i = 0; i < count; ++i) dst[2 + i].y = out[i];
  } else {
    for (int32_t i = 0; i < count; ++i) {
      int32_t t1, t2;
      pixel_thresholds(job, src[2 + i], t1, t2);
      dst[2 + i].y = filtered_luma(src + 2 + i, row_step, t1, t2);
    }
  }
}

// The vector form takes 16-bit thresholds, t2 at most 32767, and runs of at
// least eight pixels.
bool vector_form_applies(const BlockNrJob& job) {
  return sse2_form_usable(job.simd_level) && job.t1 >= -32768 && job.t1 <= 32767 &&
         job.t2 >= -32768 && job.t2 <= 32767 && job.w >= 12 && job.w <= kVectorMaxWidth;
}
#endif

}  // namespace

void block_nr_rows(const BlockNrJob& job, int32_t y0, int32_t y1) {
#if defined(BLOCK_NR_HAS_VECTOR_FORM)
  if (job.src == nullptr || job.dst == nullptr || job.w <= 0 || job.h <= 0) return;
  if (!vector_form_applies(job)) {
    block_nr_rows_c(job, y0, y1);
    return;
  }
  const int32_t f = job.field_count == 2 ? 2 : 1;
  const ptrdiff_t stride = job.stride;
  y0 = std::max(y0, 0);
  y1 = std::min(y1, job.h);
  BlockLumaLines lines(job.src, job.stride, job.w);
  for (int32_t y = y0; y < y1; ++y) {
    if (y < 2 * f || y >= job.h - 2 * f) {
      copy_row(job.src + y * stride, job.dst + y * stride, job.w);
      continue;
    }
    filter_row_vector(job, y, f, lines);
  }
#else
  block_nr_rows_c(job, y0, y1);
#endif
}

void block_nr_rows_c(const BlockNrJob& job, int32_t y0, int32_t y1) {
  if (job.src == nullptr || job.dst == nullptr || job.w <= 0 || job.h <= 0) return;
  const int32_t w = job.w;
  const int32_t f = job.field_count == 2 ? 2 : 1;
  const ptrdiff_t stride = job.stride;
  const ptrdiff_t row_step = f * stride;
  y0 = std::max(y0, 0);
  y1 = std::min(y1, job.h);

  for (int32_t y = y0; y < y1; ++y) {
    const PIXEL_YC* src = job.src + y * stride;
    PIXEL_YC* dst = job.dst + y * stride;
    // Patches reach 2f rows and two columns from the pixel: rows and columns
    // nearer the border keep their source values.
    if (y < 2 * f || y >= job.h - 2 * f || w < 5) {
      copy_row(src, dst, w);
      continue;
    }
    dst[0] = src[0];
    dst[1] = src[1];
    dst[w - 2] = src[w - 2];
    dst[w - 1] = src[w - 1];
    for (int32_t x = 2; x < w - 2; ++x) {
      const PIXEL_YC& p = src[x];
      int32_t t1, t2;
      pixel_thresholds(job, p, t1, t2);
      dst[x].y = filtered_luma(src + x, row_step, t1, t2);
      dst[x].cb = p.cb;
      dst[x].cr = p.cr;
    }
  }
}
