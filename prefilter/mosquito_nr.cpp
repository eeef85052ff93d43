// Mosquito noise reduction: the row loop and the plain row kernel.
//
// Numerical contract, per interior pixel with luma v (all arithmetic in 32-bit
// integers on the sign-extended 16-bit samples):
// - eighteen lines (a, b) through the pixel are tried in a fixed order, each
//   costing |a + b - 2v| + |a - b| (curvature plus end-to-end slope);
// - the best cost starts at 2 * t3 and the chosen sum at 3v; a line is taken
//   only when its cost is strictly below the best so far, so ties keep the
//   earlier line and no line wins at or above 2 * t3;
// - the output is trunc(S / 3.0 + 0.5) of the chosen sum S in double
//   precision, truncated toward zero (so a negative v left alone becomes
//   v + 1), held as int16_t.
// Rows 0, 1, h-2, h-1 and columns 0, 1, w-2, w-1 are copied, so every read
// (two rows and two columns around the pixel) stays inside the frame. Chroma is
// copied from the current frame.
//
// The row loop gathers the luma of the rows each row needs into 16-bit lines
// once and hands the row's interior to the table's row kernel: the plain form
// below or a vector form (prefilter/x86/), which give the same results.
#include "prefilter/mosquito_nr.h"

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "prefilter/luma_lines.h"

namespace {

class LineChooser {
 public:
  LineChooser(int32_t v, int32_t best_cost) : v_(v), best_(best_cost), sum_(3 * v) {}

  void consider(int32_t a, int32_t b) {
    const int32_t cost = std::abs(a + b - 2 * v_) + std::abs(a - b);
    if (cost < best_) {
      best_ = cost;
      sum_ = a + b + v_;
    }
  }

  // S / 3 is never within an ulp of k + 0.5 unless S = 3k exactly, where both
  // steps are exact; so truncation sees the same value whether the
  // intermediate is held in double or in x87 extended precision.
  int16_t output() const { return static_cast<int16_t>(static_cast<int32_t>(sum_ / 3.0 + 0.5)); }

 private:
  int32_t v_;
  int32_t best_;
  int32_t sum_;
};

// Pixel i of the run. Rows of the current frame are counted in frame rows,
// those of the previous and next frames in steps of f.
int16_t filtered_luma(const MosquitoRows& rows, int32_t i, int32_t best_cost) {
  const int f = rows.field_count;
  auto c = [&](int row, int col) { return static_cast<int32_t>(rows.cur[2 + row][i + col]); };
  auto p = [&](int row, int col) { return static_cast<int32_t>(rows.prev[1 + row][i + col]); };
  auto n = [&](int row, int col) { return static_cast<int32_t>(rows.next[1 + row][i + col]); };

  LineChooser chooser(c(0, 0), best_cost);
  // Through time: straight, slanted by one and two columns, and by f rows.
  chooser.consider(p(0, 0), n(0, 0));
  chooser.consider(p(0, -1), n(0, 1));
  chooser.consider(p(0, 1), n(0, -1));
  chooser.consider(p(0, -2), n(0, 2));
  chooser.consider(p(0, 2), n(0, -2));
  chooser.consider(p(-1, 0), n(1, 0));
  chooser.consider(p(1, 0), n(-1, 0));
  // Through space, within the field: vertical, horizontal and diagonals.
  chooser.consider(c(-f, 0), c(f, 0));
  chooser.consider(c(0, -2), c(0, 2));
  chooser.consider(c(0, -1), c(0, 1));
  chooser.consider(c(-f, -2), c(f, 2));
  chooser.consider(c(-f, 2), c(f, -2));
  chooser.consider(c(-f, -1), c(f, 1));
  chooser.consider(c(-f, 1), c(f, -1));
  // Through space across adjacent frame rows, whatever the field mode.
  chooser.consider(c(-1, 0), c(1, 0));
  chooser.consider(c(-1, -1), c(1, 1));
  chooser.consider(c(-1, 1), c(1, -1));
  // Vertical again, each end the mean of two rows (division truncating).
  chooser.consider((c(-1, 0) + c(-2, 0) + 1) / 2, (c(1, 0) + c(2, 0) + 1) / 2);
  return chooser.output();
}

// Costs stay below 2^19, so a start above that behaves like 2 * t3 itself
// without overflowing for any t3.
int32_t starting_cost(const MosquitoNrJob& job) {
  const int64_t start = std::min<int64_t>(2 * static_cast<int64_t>(job.t3),
                                          std::numeric_limits<int32_t>::max());
  return static_cast<int32_t>(start);
}

// Rows y - 2 .. y + 2 of the current frame and y - f .. y + f of the others
// have distinct slots among five, also for the next rows of the stripe.
using MosquitoLumaLines = LumaLines<5, kPreStageMaxWidth>;

}  // namespace

void mosquito_nr_luma_c(const MosquitoRows& rows, int32_t best_cost, int32_t count, int16_t* out) {
  for (int32_t i = 0; i < count; ++i) out[i] = filtered_luma(rows, i, best_cost);
}

void mosquito_nr_rows(const MosquitoNrJob& job, int32_t y0, int32_t y1) {
  assert(job.cur && job.dst && job.kernels && job.w >= 0 && job.w <= kPreStageMaxWidth);
  assert(0 <= y0 && y0 <= y1 && y1 <= job.h);
  // A missing neighbour frame is the current frame, as at the clip's ends.
  const PIXEL_YC* prev_frame = job.prev != nullptr ? job.prev : job.cur;
  const PIXEL_YC* next_frame = job.next != nullptr ? job.next : job.cur;
  const int32_t w = job.w;
  const ptrdiff_t stride = job.stride;
  const int32_t f = job.field_count == 2 ? 2 : 1;
  const int32_t best_cost = starting_cost(job);
  const int32_t count = w - 4;  // the interior pixels 2 .. w-3
  MosquitoLumaLines cur_lines(job.cur, stride, w);
  MosquitoLumaLines prev_lines(prev_frame, stride, w);
  MosquitoLumaLines next_lines(next_frame, stride, w);
  int16_t out[kPreStageMaxWidth];
  for (int32_t y = y0; y < y1; ++y) {
    const PIXEL_YC* cur = job.cur + y * stride;
    PIXEL_YC* dst = job.dst + y * stride;
    // Chroma and the edge columns pass through, and so do the rows whose
    // lines would reach past the frame (two rows in both modes).
    std::memcpy(dst, cur, static_cast<size_t>(w) * sizeof(PIXEL_YC));
    if (y < 2 || y >= job.h - 2 || w < 5) continue;
    MosquitoRows rows;
    for (int r = 0; r < 5; ++r) rows.cur[r] = cur_lines.row(y + r - 2) + 2;
    for (int r = 0; r < 3; ++r) {
      rows.prev[r] = prev_lines.row(y + (r - 1) * f) + 2;
      rows.next[r] = next_lines.row(y + (r - 1) * f) + 2;
    }
    rows.field_count = f;
    job.kernels->mosquito_nr_luma(rows, best_cost, count, out);
    for (int32_t i = 0; i < count; ++i) dst[2 + i].y = out[i];
  }
}
