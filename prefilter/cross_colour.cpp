// Simple cross-colour reduction, plain integer form.
//
// Numerical contract:
// - T = 10 x strength held as int16_t;
// - a difference of two samples is formed in 32 bits from the sign-extended
//   16-bit samples; a test "v mod 65536" takes that 32-bit value modulo 65536
//   as an unsigned 16-bit number, exactly, also where the value lies outside
//   the 16-bit range and the test then no longer reads as a plain range check;
// - the same-sign test multiplies the two differences, each read as a signed
//   16-bit value, in 32 bits (a 16-bit product would wrap for 200 x 200);
// - the luma measure L = (y(x-1) + 2 y(x) + y(x+1)) >> 2 and the corrected
//   chroma (a + 2c + b) >> 2 use arithmetic shifts and are held as int16_t.
// Only columns 8 .. w-9 of every row are examined, so the sixteen luma steps
// around a pixel stay inside the frame; frames at most 16 wide are left alone.
// Luma is never written and every decision at column x reads only luma and the
// chroma of column x, so corrections in place never feed later decisions.
//
// cross_colour_reduce evaluates each luma step of a row once and keeps the
// last sixteen in a bit mask, and forms the pair tests without branches, which
// noisy chroma would mispredict; cross_colour_reduce_c is the plain form.
#include "prefilter/cross_colour.h"

#include <cstddef>

namespace {

uint16_t mod_65536(int32_t v) { return static_cast<uint16_t>(v); }

// A luma step that is not flat makes the pixels within eight columns of it
// candidates for correction.
bool flat_step(const PIXEL_YC* row, int32_t i) {
  const int32_t d = static_cast<int32_t>(row[i].y) - static_cast<int32_t>(row[i + 1].y);
  return mod_65536(d + 210) <= 420;
}

// Both differences larger than T in size, of the same sign and inside the
// window of plausible cross-colour jumps. Every part is evaluated: `&` rather
// than `&&`, so the test compiles without branches.
bool pair_test(int32_t d1, int32_t d2, int32_t t) {
  const int32_t product = static_cast<int32_t>(static_cast<int16_t>(d1)) *
                          static_cast<int32_t>(static_cast<int16_t>(d2));
  return (mod_65536(d1 + t) > 2 * t) & (mod_65536(d2 + t) > 2 * t) & (product > 0) &
         (mod_65536(d1 + 500) < 1000) & (mod_65536(d2 + 500) < 1000);
}

int16_t luma_measure(const PIXEL_YC* p) {
  return static_cast<int16_t>((p[-1].y + 2 * p[0].y + p[1].y) >> 2);
}

int16_t weighted_mean(int32_t a, int32_t c, int32_t b) {
  return static_cast<int16_t>((a + 2 * c + b) >> 2);
}

enum Flag : uint32_t {
  kPrev1Cb = 0x01,
  kPrev1Cr = 0x02,
  kNext1Cb = 0x04,
  kNext1Cr = 0x08,
  kCurCb = 0x10,
  kCurCr = 0x20,
};

// The five frames at one pixel; `cur` is written, the others are read only
// and may be the current frame itself.
struct Column {
  PIXEL_YC* cur;
  const PIXEL_YC* prev2;
  const PIXEL_YC* prev1;
  const PIXEL_YC* next1;
  const PIXEL_YC* next2;
};

void correct_pixel(const Column& c, int32_t t) {
  const int32_t cur_cb = c.cur->cb, cur_cr = c.cur->cr;
  const int32_t p2_cb = c.prev2->cb, p2_cr = c.prev2->cr;
  const int32_t p1_cb = c.prev1->cb, p1_cr = c.prev1->cr;
  const int32_t n1_cb = c.next1->cb, n1_cr = c.next1->cr;
  const int32_t n2_cb = c.next2->cb, n2_cr = c.next2->cr;

  const uint32_t flags = (pair_test(n1_cb - cur_cb, p1_cb - cur_cb, t) ? kCurCb : 0u) |
                         (pair_test(n1_cr - cur_cr, p1_cr - cur_cr, t) ? kCurCr : 0u) |
                         (pair_test(n1_cb - cur_cb, n1_cb - n2_cb, t) ? kNext1Cb : 0u) |
                         (pair_test(n1_cr - cur_cr, n1_cr - n2_cr, t) ? kNext1Cr : 0u) |
                         (pair_test(p1_cb - cur_cb, p1_cb - p2_cb, t) ? kPrev1Cb : 0u) |
                         (pair_test(p1_cr - cur_cr, p1_cr - p2_cr, t) ? kPrev1Cr : 0u);
  if (flags == 0) return;

  const int32_t l_cur = luma_measure(c.cur);
  auto matches = [l_cur](const PIXEL_YC* f) {
    return mod_65536(l_cur - static_cast<int32_t>(luma_measure(f)) + 70) < 140;
  };
  const bool prev1_matches = matches(c.prev1);
  const bool next1_matches = matches(c.next1);

  if (prev1_matches && next1_matches) {
    if (flags & kCurCb) c.cur->cb = weighted_mean(n1_cb, cur_cb, p1_cb);
    if (flags & kCurCr) c.cur->cr = weighted_mean(n1_cr, cur_cr, p1_cr);
  } else if (prev1_matches) {
    if (!matches(c.prev2)) return;
    if (flags & kPrev1Cb) c.cur->cb = weighted_mean(p2_cb, cur_cb, p1_cb);
    if (flags & kPrev1Cr) c.cur->cr = weighted_mean(p2_cr, cur_cr, p1_cr);
  } else if (next1_matches && matches(c.next2)) {
    if (flags & kNext1Cb) c.cur->cb = weighted_mean(n2_cb, cur_cb, n1_cb);
    if (flags & kNext1Cr) c.cur->cr = weighted_mean(n2_cr, cur_cr, n1_cr);
  }
}

// The five frames of a job, missing neighbours replaced by the current frame
// as outside the clip, and T.
struct Frames {
  const PIXEL_YC* prev2;
  const PIXEL_YC* prev1;
  const PIXEL_YC* next1;
  const PIXEL_YC* next2;
  int32_t t;
};

Frames frames_of(const CrossColourJob& job) {
  auto or_cur = [&job](const PIXEL_YC* f) -> const PIXEL_YC* { return f != nullptr ? f : job.cur; };
  // Formed unsigned so that no strength overflows; only the low 16 bits count.
  const int32_t t = static_cast<int16_t>(static_cast<uint32_t>(job.strength) * 10u);
  return {or_cur(job.prev2), or_cur(job.prev1), or_cur(job.next1), or_cur(job.next2), t};
}

}  // namespace

void cross_colour_reduce(const CrossColourJob& job) {
  if (job.cur == nullptr || job.w <= 16 || job.h <= 0) return;
  const Frames f = frames_of(job);
  const int32_t w = job.w;
  const ptrdiff_t stride = job.stride;
  for (int32_t y = 0; y < job.h; ++y) {
    const ptrdiff_t row_start = y * stride;
    PIXEL_YC* row = job.cur + row_start;
    // Bit j of `steep` says whether step x - 8 + j (between columns x - 8 + j
    // and x - 7 + j) is steep, for the sixteen steps that decide pixel x.
    uint32_t steep = 0;
    for (int32_t i = 0; i < 15; ++i) steep |= (flat_step(row, i) ? 0u : 1u) << (i + 1);
    for (int32_t x = 8; x < w - 8; ++x) {
      steep = (steep >> 1) | ((flat_step(row, x + 7) ? 0u : 1u) << 15);
      if (steep == 0) continue;
      const ptrdiff_t at = row_start + x;
      correct_pixel(Column{job.cur + at, f.prev2 + at, f.prev1 + at, f.next1 + at, f.next2 + at},
                    f.t);
    }
  }
}

void cross_colour_reduce_c(const CrossColourJob& job) {
  if (job.cur == nullptr || job.w <= 16 || job.h <= 0) return;
  const Frames f = frames_of(job);
  const int32_t w = job.w;
  const ptrdiff_t stride = job.stride;

  for (int32_t y = 0; y < job.h; ++y) {
    const ptrdiff_t row_start = y * stride;
    PIXEL_YC* row = job.cur + row_start;
    // Steps i = x-8 .. x+7 (between columns i and i+1) decide the pixel at x;
    // the count of steep steps slides along the row with x.
    int32_t steep_steps = 0;
    for (int32_t i = 0; i < 16; ++i) steep_steps += flat_step(row, i) ? 0 : 1;
    for (int32_t x = 8; x < w - 8; ++x) {
      if (x > 8) steep_steps += (flat_step(row, x + 7) ? 0 : 1) - (flat_step(row, x - 9) ? 0 : 1);
      if (steep_steps == 0) continue;
      const ptrdiff_t at = row_start + x;
      correct_pixel(Column{job.cur + at, f.prev2 + at, f.prev1 + at, f.next1 + at, f.next2 + at},
                    f.t);
    }
  }
}
