// Block noise reduction: the row loop and the plain row kernel.
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
// The row loop gathers the luma of the rows each row needs into 16-bit lines
// once and hands the row's interior to the table's row kernel: the plain form
// below or a vector form (prefilter/x86/), which give the same results.
#include "prefilter/block_nr.h"

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "prefilter/luma_lines.h"

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
bool in_skin_tone_box(int16_t y, int16_t cb, int16_t cr) {
  return y > 1400 && y < 3000 && cb > -680 && cb < 280 && cr > -50 && cr < 600;
}

// Pixel i of the run; rows[r] is frame row y + (r - 2) f.
int16_t filtered_luma(const int16_t* const rows[5], int32_t i, int32_t t1, int32_t t2) {
  // Local mean from the patch centres (the 3x3 neighbourhood of the pixel).
  int32_t s = 0;
  for (int j = 0; j < 9; ++j) s += kMeanWeights[j] * rows[1 + j / 3][i + j % 3 - 1];
  const int32_t m = (s + 8) >> 4;

  // The nine patches overlap: together they cover the 5x5 block on rows
  // y - 2f .. y + 2f and columns x - 2 .. x + 2, and element e = 3r + c of
  // patch j = 3k + m is block[k + r][m + c]. Each of the 25 values is reduced
  // by m once; the patches are read from the block.
  int16_t block[5][5];
  for (int r = 0; r < 5; ++r)
    for (int c = 0; c < 5; ++c) block[r][c] = static_cast<int16_t>(rows[r][i + c - 2] - m);

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
    if (largest < t1 && sum < t2) {
      acc += block[k + 1][mm + 1];
      n += 1;
    }
  }
  const int32_t q = (acc + n / 2) / n;
  return static_cast<int16_t>(m + q);
}

// Rows y - 2f .. y + 2f of consecutive rows y, in both modes, have distinct
// slots among ten.
using BlockLumaLines = LumaLines<10, kPreStageMaxWidth>;

}  // namespace

void block_nr_luma_c(const int16_t* const rows[5], const int16_t* cb, const int16_t* cr,
                     const BlockNrThresholds& thresholds, int32_t count, int16_t* out) {
  for (int32_t i = 0; i < count; ++i) {
    int32_t t1 = thresholds.t1;
    int32_t t2 = thresholds.t2;
    if (thresholds.skin_tones && in_skin_tone_box(rows[2][i], cb[i], cr[i])) {
      t1 /= 5;
      t2 /= 5;
    }
    out[i] = filtered_luma(rows, i, t1, t2);
  }
}

void block_nr_rows(const BlockNrJob& job, int32_t y0, int32_t y1) {
  assert(job.src && job.dst && job.kernels && job.w >= 0 && job.w <= kPreStageMaxWidth);
  assert(0 <= y0 && y0 <= y1 && y1 <= job.h);
  const int32_t w = job.w;
  const int32_t f = job.field_count == 2 ? 2 : 1;
  const ptrdiff_t stride = job.stride;
  const int32_t count = w - 4;  // the interior pixels 2 .. w-3
  const BlockNrThresholds thresholds{job.t1, job.t2, !job.anime};
  BlockLumaLines lines(job.src, stride, w);
  int16_t cb[kPreStageMaxWidth], cr[kPreStageMaxWidth], out[kPreStageMaxWidth];
  for (int32_t y = y0; y < y1; ++y) {
    const PIXEL_YC* src = job.src + y * stride;
    PIXEL_YC* dst = job.dst + y * stride;
    // Chroma and the edge columns pass through, and so do the rows whose
    // patches would reach past the frame.
    std::memcpy(dst, src, static_cast<size_t>(w) * sizeof(PIXEL_YC));
    if (y < 2 * f || y >= job.h - 2 * f || w < 5) continue;
    const int16_t* rows[5];
    for (int r = 0; r < 5; ++r) rows[r] = lines.row(y + (r - 2) * f) + 2;
    for (int32_t i = 0; i < count; ++i) {
      cb[i] = src[2 + i].cb;
      cr[i] = src[2 + i].cr;
    }
    job.kernels->block_nr_luma(rows, cb, cr, thresholds, count, out);
    for (int32_t i = 0; i < count; ++i) dst[2 + i].y = out[i];
  }
}
