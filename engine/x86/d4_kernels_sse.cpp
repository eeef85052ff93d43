// SSE forms of the D4 line kernels: four outputs per step, no scalar
// remainder (line lengths are multiples of 8, band lengths multiples of 4,
// every line 16-byte aligned). Each lane performs the same single-precision
// products and sums, in the same order, as the plain form of its arithmetic,
// so the results are bit-identical. The outputs that the plain forms compute
// in double are computed here by the same scalar code.
//
// The level-2 forms take their pairwise sums from even/odd shuffles rather
// than from SSE3's horizontal adds: one window per output multiplied by the
// whole filter and reduced with two rounds of haddps gives the same numbers,
// but measured at about half the speed. So both arithmetics need SSE only.
//
// Nothing here may need SSE2: 32-bit builds of these functions run on
// processors that stop at SSE.
#include "engine/x86/d4_kernels_sse.h"

#include <xmmintrin.h>

#include "engine/d4_double_outputs.h"
#include "engine/d4_kernels.h"
#include "engine/x86/d4_coefficient_vectors.h"
#include "engine/x87_precision.h"

namespace {

// (x0, x2, x4, x6) and (x1, x3, x5, x7) of the eight samples in a, b.
inline __m128 evens(__m128 a, __m128 b) { return _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)); }
inline __m128 odds(__m128 a, __m128 b) { return _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)); }

// (a2, a3, b0, b1): the four samples two places further on.
inline __m128 shift_by_two(__m128 a, __m128 b) {
  return _mm_shuffle_ps(a, b, _MM_SHUFFLE(1, 0, 3, 2));
}

// (previous3, current0, current1, current2), the four samples one place back,
// from two_back = shift_by_two(previous, current) = (previous2, previous3,
// current0, current1).
inline __m128 back_by_one(__m128 two_back, __m128 current) {
  return _mm_shuffle_ps(two_back, current, _MM_SHUFFLE(2, 1, 2, 1));
}

}  // namespace

void d4_analysis_l1_sse(const float* src, int32_t n, float* dst) {
  const auto [h0, h1, h2, h3, g0, g1, g2, g3] = d4_coefficient_vectors();
  float* low = dst;
  float* high = dst + n / 2;
  __m128 a = _mm_load_ps(src);
  for (int32_t i = 0; i < n; i += 8) {
    // Outputs i/2 .. i/2+3 read x[i .. i+9]; the last step wraps to x[0], x[1].
    const __m128 b = _mm_load_ps(src + i + 4);
    const __m128 c = _mm_load_ps(i + 8 < n ? src + i + 8 : src);
    const __m128 x0 = evens(a, b);  // x[2k]   for the four outputs k
    const __m128 x1 = odds(a, b);   // x[2k+1]
    const __m128 s = shift_by_two(a, b);
    const __m128 t = shift_by_two(b, c);
    const __m128 x2 = evens(s, t);  // x[2k+2]
    const __m128 x3 = odds(s, t);   // x[2k+3]
    // low = ((h0*x0 + h1*x1) + h2*x2) + h3*x3
    __m128 lo = _mm_add_ps(_mm_mul_ps(h0, x0), _mm_mul_ps(h1, x1));
    lo = _mm_add_ps(lo, _mm_mul_ps(h2, x2));
    lo = _mm_add_ps(lo, _mm_mul_ps(h3, x3));
    // high = ((g1*x1 + g0*x0) + g3*x3) + g2*x2
    __m128 hi = _mm_add_ps(_mm_mul_ps(g1, x1), _mm_mul_ps(g0, x0));
    hi = _mm_add_ps(hi, _mm_mul_ps(g3, x3));
    hi = _mm_add_ps(hi, _mm_mul_ps(g2, x2));
    _mm_store_ps(low + i / 2, lo);
    _mm_store_ps(high + i / 2, hi);
    a = c;
  }
}

void d4_analysis_l2_sse(const float* src, int32_t n, float* dst) {
  const auto [h0, h1, h2, h3, g0, g1, g2, g3] = d4_coefficient_vectors();
  float* low = dst;
  float* high = dst + n / 2;
  __m128 a = _mm_load_ps(src);
  for (int32_t i = 0; i < n; i += 8) {
    // Outputs i/2 .. i/2+3 read x[i .. i+9]; the last step wraps to x[0], x[1].
    const __m128 b = _mm_load_ps(src + i + 4);
    const __m128 c = _mm_load_ps(i + 8 < n ? src + i + 8 : src);
    const __m128 x0 = evens(a, b);  // x[2k]   for the four outputs k
    const __m128 x1 = odds(a, b);   // x[2k+1]
    const __m128 s = shift_by_two(a, b);
    const __m128 t = shift_by_two(b, c);
    const __m128 x2 = evens(s, t);  // x[2k+2]
    const __m128 x3 = odds(s, t);   // x[2k+3]
    // (c0*x0 + c1*x1) + (c2*x2 + c3*x3)
    const __m128 lo_front = _mm_add_ps(_mm_mul_ps(h0, x0), _mm_mul_ps(h1, x1));
    const __m128 lo_back = _mm_add_ps(_mm_mul_ps(h2, x2), _mm_mul_ps(h3, x3));
    const __m128 hi_front = _mm_add_ps(_mm_mul_ps(g0, x0), _mm_mul_ps(g1, x1));
    const __m128 hi_back = _mm_add_ps(_mm_mul_ps(g2, x2), _mm_mul_ps(g3, x3));
    _mm_store_ps(low + i / 2, _mm_add_ps(lo_front, lo_back));
    _mm_store_ps(high + i / 2, _mm_add_ps(hi_front, hi_back));
    a = c;
  }
}

void d4_synthesis_sse(const float* src, int32_t m, float* dst) {
  const auto [h0, h1, h2, h3, g0, g1, g2, g3] = d4_coefficient_vectors();
  const float* low = src;
  const float* high = src + m;

  // First step, k = 0 .. 3; L[k-1] of k = 0 is L[m-1].
  __m128 l = _mm_load_ps(low);
  __m128 h = _mm_load_ps(high);
  __m128 lp = back_by_one(shift_by_two(_mm_load_ps(low + m - 4), l), l);
  __m128 hp = back_by_one(shift_by_two(_mm_load_ps(high + m - 4), h), h);
  {
    // k = 0, 1: ((L[k] term + L[p] term) + H[k] term) + H[p] term.
    __m128 e01 = _mm_add_ps(_mm_mul_ps(h0, l), _mm_mul_ps(h2, lp));
    e01 = _mm_add_ps(e01, _mm_mul_ps(g0, h));
    e01 = _mm_add_ps(e01, _mm_mul_ps(g2, hp));
    __m128 o01 = _mm_add_ps(_mm_mul_ps(h1, l), _mm_mul_ps(h3, lp));
    o01 = _mm_add_ps(o01, _mm_mul_ps(g1, h));
    o01 = _mm_add_ps(o01, _mm_mul_ps(g3, hp));
    // k = 2, 3: ((L[k] term + H[k] term) + L[p] term) + H[p] term.
    __m128 e23 = _mm_add_ps(_mm_mul_ps(h0, l), _mm_mul_ps(g0, h));
    e23 = _mm_add_ps(e23, _mm_mul_ps(h2, lp));
    e23 = _mm_add_ps(e23, _mm_mul_ps(g2, hp));
    __m128 o23 = _mm_add_ps(_mm_mul_ps(h1, l), _mm_mul_ps(g1, h));
    o23 = _mm_add_ps(o23, _mm_mul_ps(h3, lp));
    o23 = _mm_add_ps(o23, _mm_mul_ps(g3, hp));
    const __m128 even = _mm_shuffle_ps(e01, e23, _MM_SHUFFLE(3, 2, 1, 0));
    const __m128 odd = _mm_shuffle_ps(o01, o23, _MM_SHUFFLE(3, 2, 1, 0));
    _mm_store_ps(dst, _mm_unpacklo_ps(even, odd));
    _mm_store_ps(dst + 4, _mm_unpackhi_ps(even, odd));
  }
  for (int32_t k = 4; k < m; k += 4) {
    const __m128 l_prev = l;
    const __m128 h_prev = h;
    l = _mm_load_ps(low + k);
    h = _mm_load_ps(high + k);
    lp = back_by_one(shift_by_two(l_prev, l), l);
    hp = back_by_one(shift_by_two(h_prev, h), h);
    __m128 even = _mm_add_ps(_mm_mul_ps(h0, l), _mm_mul_ps(g0, h));
    even = _mm_add_ps(even, _mm_mul_ps(h2, lp));
    even = _mm_add_ps(even, _mm_mul_ps(g2, hp));
    __m128 odd = _mm_add_ps(_mm_mul_ps(h1, l), _mm_mul_ps(g1, h));
    odd = _mm_add_ps(odd, _mm_mul_ps(h3, lp));
    odd = _mm_add_ps(odd, _mm_mul_ps(g3, hp));
    _mm_store_ps(dst + 2 * k, _mm_unpacklo_ps(even, odd));
    _mm_store_ps(dst + 2 * k + 4, _mm_unpackhi_ps(even, odd));
  }
}

void d4_odd_lowpass_l1_sse(const float* src, int32_t n, float* dst) {
  const __m128 h0 = _mm_set1_ps(kD4H0), h1 = _mm_set1_ps(kD4H1);
  const __m128 h2 = _mm_set1_ps(kD4H2), h3 = _mm_set1_ps(kD4H3);
  const int32_t half = n / 2;
  // Every step but the last: outputs i/2 .. i/2+3 read x[i+1 .. i+10], all
  // inside the line. The last step's four outputs are the double ones.
  __m128 a = _mm_load_ps(src);
  for (int32_t i = 0; i < n - 8; i += 8) {
    const __m128 b = _mm_load_ps(src + i + 4);
    const __m128 c = _mm_load_ps(src + i + 8);
    const __m128 x1 = odds(a, b);  // x[2k+1] for the four outputs k
    const __m128 s = shift_by_two(a, b);
    const __m128 t = shift_by_two(b, c);
    const __m128 x2 = evens(s, t);  // x[2k+2]
    const __m128 x3 = odds(s, t);   // x[2k+3]
    const __m128 x4 = evens(b, c);  // x[2k+4]
    // ((h0*x1 + h1*x2) + h2*x3) + h3*x4
    __m128 sum = _mm_add_ps(_mm_mul_ps(h0, x1), _mm_mul_ps(h1, x2));
    sum = _mm_add_ps(sum, _mm_mul_ps(h2, x3));
    sum = _mm_add_ps(sum, _mm_mul_ps(h3, x4));
    _mm_store_ps(dst + i / 2, sum);
    a = c;
  }
  [[maybe_unused]] X87DoublePrecision double_rounding;
  for (int32_t k = half - 4; k < half; ++k) dst[k] = d4_odd_lowpass_double_output(src, n, k);
}

void d4_odd_lowpass_l2_sse(const float* src, int32_t n, float* dst) {
  const __m128 h0 = _mm_set1_ps(kD4H0), h1 = _mm_set1_ps(kD4H1);
  const __m128 h2 = _mm_set1_ps(kD4H2), h3 = _mm_set1_ps(kD4H3);
  __m128 a = _mm_load_ps(src);
  for (int32_t i = 0; i < n; i += 8) {
    // Outputs i/2 .. i/2+3 read x[i+1 .. i+10]; the last step wraps to x[0..2].
    const __m128 b = _mm_load_ps(src + i + 4);
    const __m128 c = _mm_load_ps(i + 8 < n ? src + i + 8 : src);
    const __m128 x1 = odds(a, b);  // x[2k+1] for the four outputs k
    const __m128 s = shift_by_two(a, b);
    const __m128 t = shift_by_two(b, c);
    const __m128 x2 = evens(s, t);  // x[2k+2]
    const __m128 x3 = odds(s, t);   // x[2k+3]
    const __m128 x4 = evens(b, c);  // x[2k+4]
    // (h0*x1 + h1*x2) + (h2*x3 + h3*x4)
    const __m128 front = _mm_add_ps(_mm_mul_ps(h0, x1), _mm_mul_ps(h1, x2));
    const __m128 back = _mm_add_ps(_mm_mul_ps(h2, x3), _mm_mul_ps(h3, x4));
    _mm_store_ps(dst + i / 2, _mm_add_ps(front, back));
    a = c;
  }
}

void d4_odd_upsample_sse(const float* src, int32_t m, float* dst) {
  const __m128 h0 = _mm_set1_ps(kD4H0), h1 = _mm_set1_ps(kD4H1);
  const __m128 h2 = _mm_set1_ps(kD4H2), h3 = _mm_set1_ps(kD4H3);
  // Outputs 2k .. 2k+7 from a[k-2 .. k+3]: odd = h0*a[k] + h2*a[k-1],
  // even = h1*a[k-1] + h3*a[k-2]. Outputs 0..3 and 2m-4..2m-1 are computed
  // here in single like the rest and then replaced by their double values.
  __m128 previous = _mm_load_ps(src + m - 4);
  for (int32_t k = 0; k < m; k += 4) {
    const __m128 a0 = _mm_load_ps(src + k);
    const __m128 a2 = shift_by_two(previous, a0);  // a[k-2]
    const __m128 a1 = back_by_one(a2, a0);         // a[k-1]
    const __m128 odd = _mm_add_ps(_mm_mul_ps(h0, a0), _mm_mul_ps(h2, a1));
    const __m128 even = _mm_add_ps(_mm_mul_ps(h1, a1), _mm_mul_ps(h3, a2));
    _mm_store_ps(dst + 2 * k, _mm_unpacklo_ps(even, odd));
    _mm_store_ps(dst + 2 * k + 4, _mm_unpackhi_ps(even, odd));
    previous = a0;
  }
  [[maybe_unused]] X87DoublePrecision double_rounding;
  for (int32_t i = 0; i < 4; ++i) dst[i] = d4_odd_upsample_double_output(src, m, i);
  for (int32_t i = 2 * m - 4; i < 2 * m; ++i) dst[i] = d4_odd_upsample_double_output(src, m, i);
}
