// SSE forms of the D4 row kernels: four columns per step, each lane with the
// products and sums of the plain form in the same order, so the results are
// bit-identical. The level-2 order needs nothing beyond SSE either, so both
// levels live here.
#include "engine/x86/d4_row_kernels_sse.h"

#include <xmmintrin.h>

#include "engine/d4_kernels.h"
#include "engine/x86/d4_coefficient_vectors.h"

void d4_analysis_rows_l1_sse(const float* x0, const float* x1, const float* x2, const float* x3,
                             int32_t n, float* low, float* high) {
  const auto [h0, h1, h2, h3, g0, g1, g2, g3] = d4_coefficient_vectors();
  for (int32_t x = 0; x < n; x += 4) {
    const __m128 a = _mm_load_ps(x0 + x), b = _mm_load_ps(x1 + x);
    const __m128 c = _mm_load_ps(x2 + x), d = _mm_load_ps(x3 + x);
    // low = ((h0*x0 + h1*x1) + h2*x2) + h3*x3
    __m128 lo = _mm_add_ps(_mm_mul_ps(h0, a), _mm_mul_ps(h1, b));
    lo = _mm_add_ps(lo, _mm_mul_ps(h2, c));
    lo = _mm_add_ps(lo, _mm_mul_ps(h3, d));
    // high = ((g1*x1 + g0*x0) + g3*x3) + g2*x2
    __m128 hi = _mm_add_ps(_mm_mul_ps(g1, b), _mm_mul_ps(g0, a));
    hi = _mm_add_ps(hi, _mm_mul_ps(g3, d));
    hi = _mm_add_ps(hi, _mm_mul_ps(g2, c));
    _mm_store_ps(low + x, lo);
    _mm_store_ps(high + x, hi);
  }
}

void d4_analysis_rows_l2_sse(const float* x0, const float* x1, const float* x2, const float* x3,
                             int32_t n, float* low, float* high) {
  const auto [h0, h1, h2, h3, g0, g1, g2, g3] = d4_coefficient_vectors();
  for (int32_t x = 0; x < n; x += 4) {
    const __m128 a = _mm_load_ps(x0 + x), b = _mm_load_ps(x1 + x);
    const __m128 c = _mm_load_ps(x2 + x), d = _mm_load_ps(x3 + x);
    // (c0*x0 + c1*x1) + (c2*x2 + c3*x3)
    const __m128 lo = _mm_add_ps(_mm_add_ps(_mm_mul_ps(h0, a), _mm_mul_ps(h1, b)),
                                 _mm_add_ps(_mm_mul_ps(h2, c), _mm_mul_ps(h3, d)));
    const __m128 hi = _mm_add_ps(_mm_add_ps(_mm_mul_ps(g0, a), _mm_mul_ps(g1, b)),
                                 _mm_add_ps(_mm_mul_ps(g2, c), _mm_mul_ps(g3, d)));
    _mm_store_ps(low + x, lo);
    _mm_store_ps(high + x, hi);
  }
}

void d4_synthesis_rows_sse(const float* low, const float* low_prev, const float* high,
                           const float* high_prev, int32_t n, bool leading, float* even,
                           float* odd) {
  const auto [h0, h1, h2, h3, g0, g1, g2, g3] = d4_coefficient_vectors();
  if (leading) {
    for (int32_t x = 0; x < n; x += 4) {
      const __m128 l = _mm_load_ps(low + x), lp = _mm_load_ps(low_prev + x);
      const __m128 h = _mm_load_ps(high + x), hp = _mm_load_ps(high_prev + x);
      // ((L[k] term + L[p] term) + H[k] term) + H[p] term
      __m128 e = _mm_add_ps(_mm_mul_ps(h0, l), _mm_mul_ps(h2, lp));
      e = _mm_add_ps(e, _mm_mul_ps(g0, h));
      e = _mm_add_ps(e, _mm_mul_ps(g2, hp));
      __m128 o = _mm_add_ps(_mm_mul_ps(h1, l), _mm_mul_ps(h3, lp));
      o = _mm_add_ps(o, _mm_mul_ps(g1, h));
      o = _mm_add_ps(o, _mm_mul_ps(g3, hp));
      _mm_store_ps(even + x, e);
      _mm_store_ps(odd + x, o);
    }
    return;
  }
  for (int32_t x = 0; x < n; x += 4) {
    const __m128 l = _mm_load_ps(low + x), lp = _mm_load_ps(low_prev + x);
    const __m128 h = _mm_load_ps(high + x), hp = _mm_load_ps(high_prev + x);
    // ((L[k] term + H[k] term) + L[p] term) + H[p] term
    __m128 e = _mm_add_ps(_mm_mul_ps(h0, l), _mm_mul_ps(g0, h));
    e = _mm_add_ps(e, _mm_mul_ps(h2, lp));
    e = _mm_add_ps(e, _mm_mul_ps(g2, hp));
    __m128 o = _mm_add_ps(_mm_mul_ps(h1, l), _mm_mul_ps(g1, h));
    o = _mm_add_ps(o, _mm_mul_ps(h3, lp));
    o = _mm_add_ps(o, _mm_mul_ps(g3, hp));
    _mm_store_ps(even + x, e);
    _mm_store_ps(odd + x, o);
  }
}
