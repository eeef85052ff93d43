// SSE2 form of the mosquito noise reduction's row kernel, eight pixels per
// step.
//
// The plain form costs each line (a, b) through the pixel's luma v as
// |a + b - 2v| + |a - b| in 32 bits. When the luma of all rows involved spans
// at most kMosquitoVectorSpan (the row check below; other runs go to the
// plain form), a - v, b - v and a - b lie within the span, the two-row means
// of line 18 within one more, and every cost below 3 x (span + 1) < 32767, so
// all of it is exact in 16 bits:
// - line 18's means trunc((c1 + c2 + 1) / 2) come from the unsigned rounding
//   average of the samples offset by 32768, which is floor((c1 + c2 + 1) / 2),
//   plus one where that is negative and c1 + c2 + 1 is odd;
// - the running best starts at 2 x T3 clamped to 16 bits, which changes no
//   decision since every cost is below the clamp;
// - a line wins where its cost is strictly below the best so far, so the
//   earlier line keeps ties, and the chosen a + b - 2v is kept; then
//   S = (a + b - 2v) + 3v;
// - trunc(S / 3 + 0.5) equals trunc((2S + 3) / 6), formed in single precision
//   from integers below 2^18: the quotient is within an ulp of the true one
//   (whatever the thread's rounding mode), which is an integer or at least 1/6
//   from one, so truncating it is exact. The result lies within the rows' span
//   (or one above a negative maximum), so packing it to 16 bits keeps it.
#include "prefilter/x86/mosquito_nr_sse2.h"

#include <emmintrin.h>

#include <algorithm>

#include "prefilter/x86/sse2_forms.h"

namespace {

SSE2_FORM_INLINE __m128i load(const int16_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

SSE2_FORM_INLINE __m128i absolute(__m128i v) {
  return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
}

SSE2_FORM_INLINE __m128i widen_low(__m128i v) {
  return _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16);
}
SSE2_FORM_INLINE __m128i widen_high(__m128i v) {
  return _mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16);
}

// The running choice of eight pixels.
struct Choice {
  __m128i v;      // the pixels' luma
  __m128i best;   // lowest cost so far
  __m128i bend;   // a + b - 2v of the line that has it
};

SSE2_FORM_INLINE void consider(Choice& c, __m128i a, __m128i b) {
  const __m128i da = _mm_sub_epi16(a, c.v);
  const __m128i db = _mm_sub_epi16(b, c.v);
  const __m128i bend = _mm_add_epi16(da, db);
  const __m128i cost = _mm_add_epi16(absolute(bend), absolute(_mm_sub_epi16(da, db)));
  const __m128i better = _mm_cmpgt_epi16(c.best, cost);
  c.best = _mm_min_epi16(c.best, cost);
  c.bend = _mm_or_si128(_mm_and_si128(better, bend), _mm_andnot_si128(better, c.bend));
}

// trunc((c1 + c2 + 1) / 2) of int16 samples.
SSE2_FORM_INLINE __m128i half_sum_toward_zero(__m128i c1, __m128i c2) {
  const __m128i bias = _mm_set1_epi16(-32768);
  const __m128i floor_half =
      _mm_xor_si128(_mm_avg_epu16(_mm_xor_si128(c1, bias), _mm_xor_si128(c2, bias)), bias);
  // c1 + c2 + 1 is odd when c1 and c2 have the same parity.
  const __m128i odd = _mm_andnot_si128(_mm_xor_si128(c1, c2), _mm_set1_epi16(1));
  const __m128i negative = _mm_srai_epi16(floor_half, 15);
  return _mm_add_epi16(floor_half, _mm_and_si128(odd, negative));
}

SSE2_FORM_INLINE void span_of(const int16_t* row, int32_t count, __m128i& low, __m128i& high) {
  const int16_t* first = row - 2;
  const int32_t span = count + 4;
  int32_t i = 0;
  for (; i + 8 <= span; i += 8) {
    high = _mm_max_epi16(high, load(first + i));
    low = _mm_min_epi16(low, load(first + i));
  }
  if (i < span) {
    high = _mm_max_epi16(high, load(first + span - 8));
    low = _mm_min_epi16(low, load(first + span - 8));
  }
}

SSE2_FORM_INLINE bool luma_span_fits(const MosquitoRows& rows, int32_t count) {
  __m128i high = _mm_set1_epi16(-32768);
  __m128i low = _mm_set1_epi16(32767);
  for (const int16_t* row : rows.cur) span_of(row, count, low, high);
  for (const int16_t* row : rows.prev) span_of(row, count, low, high);
  for (const int16_t* row : rows.next) span_of(row, count, low, high);
  alignas(16) int16_t h[8], l[8];
  _mm_store_si128(reinterpret_cast<__m128i*>(h), high);
  _mm_store_si128(reinterpret_cast<__m128i*>(l), low);
  int32_t largest = h[0], smallest = l[0];
  for (int i = 1; i < 8; ++i) {
    largest = h[i] > largest ? h[i] : largest;
    smallest = l[i] < smallest ? l[i] : smallest;
  }
  return largest - smallest <= kMosquitoVectorSpan;
}

// The samples of eight pixels starting at column offset i, by row and column
// offset from each pixel (prev and next rows in steps of f).
struct Samples {
  const MosquitoRows& rows;
  int32_t i;
  SSE2_FORM_INLINE __m128i cur(int row, int column) const {
    return load(rows.cur[2 + row] + i + column);
  }
  SSE2_FORM_INLINE __m128i prev(int row, int column) const {
    return load(rows.prev[1 + row] + i + column);
  }
  SSE2_FORM_INLINE __m128i next(int row, int column) const {
    return load(rows.next[1 + row] + i + column);
  }
};

SSE2_FORM_INLINE void eight_pixels(const MosquitoRows& rows, __m128i start, int32_t i,
                                   int16_t* out) {
  const int f = rows.field_count;
  const Samples s{rows, i};

  Choice c{s.cur(0, 0), start, _mm_setzero_si128()};
  // Through time: straight, slanted by one and two columns, and by f rows.
  consider(c, s.prev(0, 0), s.next(0, 0));
  consider(c, s.prev(0, -1), s.next(0, 1));
  consider(c, s.prev(0, 1), s.next(0, -1));
  consider(c, s.prev(0, -2), s.next(0, 2));
  consider(c, s.prev(0, 2), s.next(0, -2));
  consider(c, s.prev(-1, 0), s.next(1, 0));
  consider(c, s.prev(1, 0), s.next(-1, 0));
  // Through space, within the field.
  consider(c, s.cur(-f, 0), s.cur(f, 0));
  consider(c, s.cur(0, -2), s.cur(0, 2));
  consider(c, s.cur(0, -1), s.cur(0, 1));
  consider(c, s.cur(-f, -2), s.cur(f, 2));
  consider(c, s.cur(-f, 2), s.cur(f, -2));
  consider(c, s.cur(-f, -1), s.cur(f, 1));
  consider(c, s.cur(-f, 1), s.cur(f, -1));
  // Across adjacent frame rows.
  consider(c, s.cur(-1, 0), s.cur(1, 0));
  consider(c, s.cur(-1, -1), s.cur(1, 1));
  consider(c, s.cur(-1, 1), s.cur(1, -1));
  consider(c, half_sum_toward_zero(s.cur(-1, 0), s.cur(-2, 0)),
           half_sum_toward_zero(s.cur(1, 0), s.cur(2, 0)));

  // 2S + 3 = 2 (a + b - 2v) + 6v + 3, in 32 bits; divided by 6 and truncated.
  const __m128i three = _mm_set1_epi32(3);
  const __m128i v_low = widen_low(c.v), v_high = widen_high(c.v);
  const __m128i bend_low = widen_low(c.bend), bend_high = widen_high(c.bend);
  // 6v = (v << 2) + (v << 1)
  const __m128i x_low = _mm_add_epi32(
      _mm_add_epi32(_mm_slli_epi32(bend_low, 1),
                    _mm_add_epi32(_mm_slli_epi32(v_low, 2), _mm_slli_epi32(v_low, 1))),
      three);
  const __m128i x_high = _mm_add_epi32(
      _mm_add_epi32(_mm_slli_epi32(bend_high, 1),
                    _mm_add_epi32(_mm_slli_epi32(v_high, 2), _mm_slli_epi32(v_high, 1))),
      three);
  const __m128 six = _mm_set1_ps(6.0f);
  const __m128i q_low = _mm_cvttps_epi32(_mm_div_ps(_mm_cvtepi32_ps(x_low), six));
  const __m128i q_high = _mm_cvttps_epi32(_mm_div_ps(_mm_cvtepi32_ps(x_high), six));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(q_low, q_high));
}

}  // namespace

SSE2_FORM bool mosquito_nr_sse2_takes(const MosquitoRows& rows, int32_t count) {
  return count >= 8 && luma_span_fits(rows, count);
}

SSE2_FORM void mosquito_nr_luma_sse2(const MosquitoRows& rows, int32_t best_cost,
                                     int32_t count, int16_t* out) {
  if (!mosquito_nr_sse2_takes(rows, count)) {
    mosquito_nr_luma_c(rows, best_cost, count, out);
    return;
  }
  const int32_t clamped = best_cost < -32768 ? -32768 : (best_cost > 32767 ? 32767 : best_cost);
  const __m128i start = _mm_set1_epi16(static_cast<int16_t>(clamped));
  // The last group overlaps the one before when count is not a multiple of
  // eight; its pixels come out the same.
  for (int32_t i = 0; i < count; i += 8) {
    eight_pixels(rows, start, std::min(i, count - 8), out);
  }
}
