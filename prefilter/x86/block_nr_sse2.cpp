// SSE2 form of the block noise reduction's row kernel, eight pixels per step.
//
// The plain form subtracts the local mean m from the 25 luma values of the
// 5x5 block, holds the results as int16 and compares the nine patches through
// absolute differences of those int16 values. When every value of the block
// lies within 32767 of every other, no subtraction wraps, so each difference
// of two reduced values equals the difference of the two luma values, and the
// reduced values themselves fit in 16 bits. The row check below establishes
// that for all pixels of the run (other runs, and thresholds beyond 16 bits,
// go to the plain form); then:
// - patch differences |a - b| are formed from the luma directly in 16 bits;
// - a neighbour's eight differences are summed with saturation: every term is
//   non-negative, so the saturated sum is min(sum, 32767), and since t2 is at
//   most 32767 it is below t2 exactly when the true sum is;
// - the local mean, the accumulated reduced centres and the quotient are
//   formed in 32 bits. (acc + n/2) / n is a division of an integer below 2^19
//   in size by n <= 9: the single-precision quotient lies within an ulp of the
//   true one (whatever the thread's rounding mode) and at least 1/9 from the
//   next integer unless it is one, so truncating it gives the integer quotient;
// - the result m + q lies between the smallest and largest luma of the block,
//   so packing it with signed saturation keeps it unchanged.
#include "prefilter/x86/block_nr_sse2.h"

#include <emmintrin.h>

#include <algorithm>

#include "prefilter/x86/sse2_forms.h"

namespace {

SSE2_FORM_INLINE __m128i load(const int16_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

SSE2_FORM_INLINE __m128i absolute_difference(__m128i a, __m128i b) {
  return _mm_max_epi16(_mm_sub_epi16(a, b), _mm_sub_epi16(b, a));
}

// Sign-extends the low and high four int16 lanes to int32.
SSE2_FORM_INLINE __m128i widen_low(__m128i v) {
  return _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16);
}
SSE2_FORM_INLINE __m128i widen_high(__m128i v) {
  return _mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16);
}

// Largest and smallest luma over rows[r][-2 .. count + 1].
SSE2_FORM_INLINE bool luma_span_fits(const int16_t* const rows[5], int32_t count) {
  __m128i high = _mm_set1_epi16(-32768);
  __m128i low = _mm_set1_epi16(32767);
  const int32_t span = count + 4;
  for (int r = 0; r < 5; ++r) {
    const int16_t* row = rows[r] - 2;
    int32_t i = 0;
    for (; i + 8 <= span; i += 8) {
      high = _mm_max_epi16(high, load(row + i));
      low = _mm_min_epi16(low, load(row + i));
    }
    if (i < span) {  // the last, overlapping group
      high = _mm_max_epi16(high, load(row + span - 8));
      low = _mm_min_epi16(low, load(row + span - 8));
    }
  }
  alignas(16) int16_t h[8], l[8];
  _mm_store_si128(reinterpret_cast<__m128i*>(h), high);
  _mm_store_si128(reinterpret_cast<__m128i*>(l), low);
  int32_t largest = h[0], smallest = l[0];
  for (int i = 1; i < 8; ++i) {
    largest = h[i] > largest ? h[i] : largest;
    smallest = l[i] < smallest ? l[i] : smallest;
  }
  return largest - smallest <= 32767;
}

// Position (r, c) of the 5x5 block is on the ring of the pixel's own patch:
// the 3x3 around the centre (2, 2), without the centre.
constexpr bool on_ring(int r, int c) {
  return r >= 1 && r <= 3 && c >= 1 && c <= 3 && !(r == 2 && c == 2);
}

// What the neighbours add to the result: the sum of the accepted centres
// (reduced by m) in 32 bits, and their count in 16 bits.
struct Accepted {
  __m128i acc_low, acc_high, n;
};

// Eight pixels starting at column offset i: luma at row offset r (0..4, rows
// y + (r - 2) f) and column offset c (0..4, columns x + c - 2).
struct Block {
  const int16_t* const* rows;
  int32_t i;
  SSE2_FORM_INLINE __m128i at(int r, int c) const { return load(rows[r] + i + c - 2); }
};

SSE2_FORM_INLINE void accept(__m128i sum, __m128i largest, __m128i limit1, __m128i limit2,
                                    __m128i centre, Accepted& a) {
  const __m128i taken =
      _mm_and_si128(_mm_cmpgt_epi16(limit1, largest), _mm_cmpgt_epi16(limit2, sum));
  const __m128i add = _mm_and_si128(centre, taken);
  a.acc_low = _mm_add_epi32(a.acc_low, widen_low(add));
  a.acc_high = _mm_add_epi32(a.acc_high, widen_high(add));
  a.n = _mm_sub_epi16(a.n, taken);  // taken lanes are -1
}

// The two opposite neighbour patches, centred at +(DR, DC) and -(DR, DC)
// from the pixel. Patch +d compares ring position P with P + d, patch -d ring
// position Q with Q - d: a pair of positions one step d apart serves both
// when both ends lie on the ring, and its difference is formed once. The
// order of the sums does not matter: integer sums are exact, and saturating
// sums of non-negative terms all end at min(sum, 32767).
template <int DR, int DC>
SSE2_FORM_INLINE void opposite_neighbours(const Block& block, __m128i m, __m128i limit1,
                                                 __m128i limit2, Accepted& a) {
  __m128i sum_plus = _mm_setzero_si128(), largest_plus = _mm_setzero_si128();
  __m128i sum_minus = _mm_setzero_si128(), largest_minus = _mm_setzero_si128();
#pragma GCC unroll 5
  for (int r = 0; r < 5; ++r) {
#pragma GCC unroll 5
    for (int c = 0; c < 5; ++c) {
      const bool plus = on_ring(r, c);              // (r, c) = P, P + d
      const bool minus = on_ring(r + DR, c + DC);   // (r, c) = Q - d, Q
      if (!plus && !minus) continue;
      const __m128i d = absolute_difference(block.at(r, c), block.at(r + DR, c + DC));
      if (plus) {
        largest_plus = _mm_max_epi16(largest_plus, d);
        sum_plus = _mm_adds_epi16(sum_plus, d);
      }
      if (minus) {
        largest_minus = _mm_max_epi16(largest_minus, d);
        sum_minus = _mm_adds_epi16(sum_minus, d);
      }
    }
  }
  accept(sum_plus, largest_plus, limit1, limit2, _mm_sub_epi16(block.at(2 + DR, 2 + DC), m), a);
  accept(sum_minus, largest_minus, limit1, limit2, _mm_sub_epi16(block.at(2 - DR, 2 - DC), m), a);
}

// lo < v < hi, lane by lane.
SSE2_FORM_INLINE __m128i inside(__m128i v, int16_t lo, int16_t hi) {
  return _mm_and_si128(_mm_cmpgt_epi16(v, _mm_set1_epi16(lo)),
                       _mm_cmpgt_epi16(_mm_set1_epi16(hi), v));
}

SSE2_FORM_INLINE __m128i select(__m128i mask, __m128i a, __m128i b) {
  return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

// The thresholds as the vector lanes hold them.
struct Limits {
  int16_t t1, t2;
  int16_t skin_t1, skin_t2;
  bool skin_tones;
};

// Eight pixels starting at column offset i of the run.
SSE2_FORM_INLINE void eight_pixels(const int16_t* const rows[5], const int16_t* cb,
                                   const int16_t* cr, const Limits& t, int32_t i, int16_t* out) {
  const Block block{rows, i};

  // Local mean: weight 8 on the pixel, 1 on its eight neighbours; 32 bits.
  const __m128i centre = block.at(2, 2);
  __m128i s_low = _mm_slli_epi32(widen_low(centre), 3);
  __m128i s_high = _mm_slli_epi32(widen_high(centre), 3);
  for (int r = 1; r <= 3; ++r)
    for (int c = 1; c <= 3; ++c) {
      if (r == 2 && c == 2) continue;
      const __m128i v = block.at(r, c);
      s_low = _mm_add_epi32(s_low, widen_low(v));
      s_high = _mm_add_epi32(s_high, widen_high(v));
    }
  const __m128i eight = _mm_set1_epi32(8);
  const __m128i m_low = _mm_srai_epi32(_mm_add_epi32(s_low, eight), 4);
  const __m128i m_high = _mm_srai_epi32(_mm_add_epi32(s_high, eight), 4);
  const __m128i m = _mm_packs_epi32(m_low, m_high);

  // Skin tones (every bound exclusive) get the reduced thresholds.
  __m128i skin = _mm_and_si128(inside(centre, 1400, 3000),
                               _mm_and_si128(inside(load(cb + i), -680, 280),
                                             inside(load(cr + i), -50, 600)));
  if (!t.skin_tones) skin = _mm_setzero_si128();
  const __m128i limit1 = select(skin, _mm_set1_epi16(t.skin_t1), _mm_set1_epi16(t.t1));
  const __m128i limit2 = select(skin, _mm_set1_epi16(t.skin_t2), _mm_set1_epi16(t.t2));
  const __m128i own = _mm_sub_epi16(centre, m);
  Accepted a{widen_low(own), widen_high(own), _mm_set1_epi16(1)};
  opposite_neighbours<0, 1>(block, m, limit1, limit2, a);
  opposite_neighbours<1, -1>(block, m, limit1, limit2, a);
  opposite_neighbours<1, 0>(block, m, limit1, limit2, a);
  opposite_neighbours<1, 1>(block, m, limit1, limit2, a);

  // q = (acc + n/2) / n, truncated toward zero; the result is m + q.
  const __m128i half = _mm_srli_epi16(a.n, 1);
  const __m128 divisor_low = _mm_cvtepi32_ps(widen_low(a.n));
  const __m128 divisor_high = _mm_cvtepi32_ps(widen_high(a.n));
  const __m128i q_low = _mm_cvttps_epi32(
      _mm_div_ps(_mm_cvtepi32_ps(_mm_add_epi32(a.acc_low, widen_low(half))), divisor_low));
  const __m128i q_high = _mm_cvttps_epi32(
      _mm_div_ps(_mm_cvtepi32_ps(_mm_add_epi32(a.acc_high, widen_high(half))), divisor_high));
  const __m128i result =
      _mm_packs_epi32(_mm_add_epi32(m_low, q_low), _mm_add_epi32(m_high, q_high));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), result);
}

}  // namespace

SSE2_FORM bool block_nr_sse2_takes(const int16_t* const rows[5],
                                   const BlockNrThresholds& thresholds, int32_t count) {
  const auto fits_16_bits = [](int32_t t) { return t >= -32768 && t <= 32767; };
  return count >= 8 && fits_16_bits(thresholds.t1) && fits_16_bits(thresholds.t2) &&
         luma_span_fits(rows, count);
}

SSE2_FORM void block_nr_luma_sse2(const int16_t* const rows[5], const int16_t* cb,
                                  const int16_t* cr, const BlockNrThresholds& thresholds,
                                  int32_t count, int16_t* out) {
  if (!block_nr_sse2_takes(rows, thresholds, count)) {
    block_nr_luma_c(rows, cb, cr, thresholds, count, out);
    return;
  }
  const Limits limits{static_cast<int16_t>(thresholds.t1), static_cast<int16_t>(thresholds.t2),
                      static_cast<int16_t>(thresholds.t1 / 5),
                      static_cast<int16_t>(thresholds.t2 / 5), thresholds.skin_tones};
  // The last group overlaps the one before when count is not a multiple of
  // eight; its pixels come out the same.
  for (int32_t i = 0; i < count; i += 8) {
    eight_pixels(rows, cb, cr, limits, std::min(i, count - 8), out);
  }
}
