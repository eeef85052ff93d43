// Mosquito noise reduction, plain integer form.
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
// mosquito_nr_rows_c is the plain form. On x86 mosquito_nr_rows hands each
// row's interior pixels to the vector form (engine/x86/mosquito_nr_sse3.cpp),
// which works on the rows' luma gathered into 16-bit lines and gives the same
// results; a row it declines is done by the plain form.
#include "prefilter/mosquito_nr.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>

#if defined(__i386__) || defined(__x86_64__)
#include "engine/x86/mosquito_nr_sse3.h"
#include "engine/x86/sse2_forms.h"
#include "prefilter/luma_lines.h"
#define MOSQUITO_NR_HAS_VECTOR_FORM 1
#endif

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

// Pointers address the pixel's column in the current, previous and next
// frame; `line` is one frame row, `field` is f rows, in pixels.
int16_t filtered_luma(const PIXEL_YC* cur, const PIXEL_YC* prev, const PIXEL_YC* next,
                      ptrdiff_t line, ptrdiff_t field, int32_t best_cost) {
  auto c = [cur](ptrdiff_t at) { return static_cast<int32_t>(cur[at].y); };
  auto p = [prev](ptrdiff_t at) { return static_cast<int32_t>(prev[at].y); };
  auto n = [next](ptrdiff_t at) { return static_cast<int32_t>(next[at].y); };

  LineChooser chooser(c(0), best_cost);
  // Through time: straight, slanted by one and two columns, and by f rows.
  chooser.consider(p(0), n(0));
  chooser.consider(p(-1), n(1));
  chooser.consider(p(1), n(-1));
  chooser.consider(p(-2), n(2));
  chooser.consider(p(2), n(-2));
  chooser.consider(p(-field), n(field));
  chooser.consider(p(field), n(-field));
  // Through space, within the field: vertical, horizontal and diagonals.
  chooser.consider(c(-field), c(field));
  chooser.consider(c(-2), c(2));
  chooser.consider(c(-1), c(1));
  chooser.consider(c(-field - 2), c(field + 2));
  chooser.consider(c(-field + 2), c(field - 2));
  chooser.consider(c(-field - 1), c(field + 1));
  chooser.consider(c(-field + 1), c(field - 1));
  // Through space across adjacent frame rows, whatever the field mode.
  chooser.consider(c(-line), c(line));
  chooser.consider(c(-line - 1), c(line + 1));
  chooser.consider(c(-line + 1), c(line - 1));
  // Vertical again, each end the mean of two rows (division truncating).
  chooser.consider((c(-line) + c(-2 * line) + 1) / 2, (c(line) + c(2 * line) + 1) / 2);
  return chooser.output();
}

// Costs stay below 2^19, so a start above that behaves like 2 * t3 itself
// without overflowing for any t3.
int32_t starting_cost(const MosquitoNrJob& job) {
  const int64_t start = std::min<int64_t>(2 * static_cast<int64_t>(job.t3),
                                          std::numeric_limits<int32_t>::max());
  return static_cast<int32_t>(start);
}

void copy_row(const PIXEL_YC* src, PIXEL_YC* dst, int32_t w) {
  std::memcpy(dst, src, static_cast<size_t>(w) * sizeof(PIXEL_YC));
}

#if defined(MOSQUITO_NR_HAS_VECTOR_FORM)
// Frames up to this width go through the vector form; the lines below live
// on the worker's stack.
constexpr int32_t kVectorMaxWidth = 2048;
// Rows y - 2 .. y + 2 of the current frame and y - f .. y + f of the others
// have distinct slots among five, also for the next rows of the stripe.
using MosquitoLumaLines = LumaLines<5, kVectorMaxWidth>;

bool vector_form_applies(const MosquitoNrJob& job) {
  return sse2_form_usable(job.simd_level) && job.w >= 12 && job.w <= kVectorMaxWidth;
}
#endif

}  // namespace

void mosquito_nr_rows(const MosquitoNrJob& job, int32_t y0, int32_t y1) {
#if defined(MOSQUITO_NR_HAS_VECTOR_FORM)
  if (job.cur == nullptr || job.dst == nullptr || job.w <= 0 || job.h <= 0) return;
  if (!vector_form_applies(job)) {
    mosquito_nr_rows_c(job, y0, y1);
    return;
  }
  const PIXEL_YC* prev_frame = job.prev != nullptr ? job.prev : job.cur;
  const PIXEL_YC* next_frame = job.next != nullptr ? job.next : job.cur;
  const int32_t w = job.w;
  const ptrdiff_t stride = job.stride;
  const int32_t f = job.field_count == 2 ? 2 : 1;
  const int32_t best_cost = starting_cost(job);
  y0 = std::max(y0, 0);
  y1 = std::min(y1, job.h);
  MosquitoLumaLines cur_lines(job.cur, stride, w);
  MosquitoLumaLines prev_lines(prev_frame, stride, w);
  MosquitoLumaLines next_lines(next_frame, stride, w);
  int16_t out[kVectorMaxWidth];
  for (int32_t y = y0; y < y1; ++y) {
    const ptrdiff_t row = y * stride;
    const PIXEL_YC* cur = job.cur + row;
    PIXEL_YC* dst = job.dst + row;
    copy_row(cur, dst, w);  // chroma and the edges pass through
    if (y < 2 || y >= job.h - 2) continue;
    MosquitoRows rows;
    for (int r = 0; r < 5; ++r) rows.cur[r] = cur_lines.row(y + r - 2) + 2;
    for (int r = 0; r < 3; ++r) {
      rows.prev[r] = prev_lines.row(y + (r - 1) * f) + 2;
      rows.next[r] = next_lines.row(y + (r - 1) * f) + 2;
    }
    rows.field_count = f;
    const int32_t count = w - 4;
    if (mosquito_nr_luma_sse3(rows, best_cost, count, out)) {
      for (int32_t i = 0; i < count; ++i) dst[2 + i].y = out[i];
    } else {
      const PIXEL_YC* prev = prev_frame + row;
      const PIXEL_YC* next = next_frame + row;
      for (int32_t x = 2; x < w - 2; ++x)
        dst[x].y = filtered_luma(cur + x, prev + x, next + x, stride, f * stride, best_cost);
    }
  }
#else
  mosquito_nr_rows_c(job, y0, y1);
#endif
}

void mosquito_nr_rows_c(const MosquitoNrJob& job, int32_t y0, int32_t y1) {
  if (job.cur == nullptr || job.dst == nullptr || job.w <= 0 || job.h <= 0) return;
  // A missing neighbour frame is the current frame, as at the clip's ends.
  const PIXEL_YC* prev_frame = job.prev != nullptr ? job.prev : job.cur;
  const PIXEL_YC* next_frame = job.next != nullptr ? job.next : job.cur;
  const int32_t w = job.w;
  const ptrdiff_t stride = job.stride;
  const ptrdiff_t field = (job.field_count == 2 ? 2 : 1) * stride;
  const int32_t best_cost = starting_cost(job);
  y0 = std::max(y0, 0);
  y1 = std::min(y1, job.h);

  for (int32_t y = y0; y < y1; ++y) {
    const ptrdiff_t row = y * stride;
    const PIXEL_YC* cur = job.cur + row;
    PIXEL_YC* dst = job.dst + row;
    // Lines reach two rows and two columns from the pixel in both modes.
    if (y < 2 || y >= job.h - 2 || w < 5) {
      copy_row(cur, dst, w);
      continue;
    }
    dst[0] = cur[0];
    dst[1] = cur[1];
    dst[w - 2] = cur[w - 2];
    dst[w - 1] = cur[w - 1];
    const PIXEL_YC* prev = prev_frame + row;
    const PIXEL_YC* next = next_frame + row;
    for (int32_t x = 2; x < w - 2; ++x) {
      dst[x].y = filtered_luma(cur + x, prev + x, next + x, stride, field, best_cost);
      dst[x].cb = cur[x].cb;
      dst[x].cr = cur[x].cr;
    }
  }
}
