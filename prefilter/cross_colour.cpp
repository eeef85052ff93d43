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
// One row loop serves both forms: cross_colour_reduce evaluates each luma
// step of a row once and keeps the last sixteen in a bit mask;
// cross_colour_reduce_c, the plain form, keeps a sliding count. The pair
// tests are formed without branches, which noisy chroma would mispredict.
#include "prefilter/cross_colour.h"

#include <cassert>
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

// The edge gate along one row: for x = 8, 9, ... in turn, whether any of
// the sixteen luma steps x - 8 .. x + 7 (step i lies between columns i and
// i + 1) is steep. The stage keeps the last sixteen steps as a bit mask, bit
// j for step x - 8 + j.
class SteepMask {
 public:
  explicit SteepMask(const PIXEL_YC* row) : row_(row) {
    for (int32_t i = 0; i < 15; ++i) bits_ |= steep(i) << (i + 1);
  }
  bool any(int32_t x) {
    bits_ = (bits_ >> 1) | (steep(x + 7) << 15);
    return bits_ != 0;
  }

 private:
  uint32_t steep(int32_t i) const { return flat_step(row_, i) ? 0u : 1u; }
  const PIXEL_YC* row_;
  uint32_t bits_ = 0;
};

// The same gate in its plain form: a count of the steep steps that slides
// along the row.
class SteepCount {
 public:
  explicit SteepCount(const PIXEL_YC* row) : row_(row) {
    for (int32_t i = 0; i < 16; ++i) count_ += steep(i);
  }
  bool any(int32_t x) {
    if (x > 8) count_ += steep(x + 7) - steep(x - 9);
    return count_ != 0;
  }

 private:
  int32_t steep(int32_t i) const { return flat_step(row_, i) ? 0 : 1; }
  const PIXEL_YC* row_;
  int32_t count_ = 0;
};

// The stage's one row loop, with either gate.
template <class Gate>
void reduce_rows(const CrossColourJob& job) {
  assert(job.cur != nullptr);
  if (job.w <= 16 || job.h <= 0) return;
  const Frames f = frames_of(job);
  const ptrdiff_t stride = job.stride;
  for (int32_t y = 0; y < job.h; ++y) {
    const ptrdiff_t row_start = y * stride;
    Gate gate(job.cur + row_start);
    for (int32_t x = 8; x < job.w - 8; ++x) {
      if (!gate.any(x)) continue;
      const ptrdiff_t at = row_start + x;
      correct_pixel(Column{job.cur + at, f.prev2 + at, f.prev1 + at, f.next1 + at, f.next2 + at},
                    f.t);
    }
  }
}

}  // namespace

void cross_colour_reduce(const CrossColourJob& job) { reduce_rows<SteepMask>(job); }

void cross_colour_reduce_c(const CrossColourJob& job) { reduce_rows<SteepCount>(job); }
