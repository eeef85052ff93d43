// Level-2 vector forms of the D4 line kernels: pairwise sums
// (c0*x0 + c1*x1) + (c2*x2 + c3*x3), four outputs per step, no scalar
// remainder, every output in single precision. Each lane performs the same
// products and sums as the plain form of level 2, so the results are
// bit-identical.
//
// The functions are compiled for SSE3 one by one, so that the rest of a
// 32-bit build stays at the SSE baseline; the tables call them only at
// SimdLevel 2. The pairwise sums come from even/odd shuffles rather than from
// SSE3's horizontal adds: one window per output multiplied by the whole filter
// and reduced with two rounds of haddps gives the same numbers, but measured
// at about half the speed.
#include "engine/x86/d4_kernels_sse3.h"

#include <pmmintrin.h>

#include "engine/d4_kernels.h"
#include "engine/x86/d4_coefficient_vectors.h"

#define D4_SSE3 __attribute__((target("sse3")))

namespace {

D4_SSE3 inline __m128 evens(__m128 a, __m128 b) {
  return _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
}
D4_SSE3 inline __m128 odds(__m128 a, __m128 b) {
  return _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
}
// (a2, a3, b0, b1): the four samples two places further on.
D4_SSE3 inline __m128 shift_by_two(__m128 a, __m128 b) {
  return _mm_shuffle_ps(a, b, _MM_SHUFFLE(1, 0, 3, 2));
}

}  // namespace

D4_SSE3 void d4_analysis_sse3(const float* src, int32_t n, float* dst) {
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
    const __m128 lo_front = _mm_add_ps(_mm_mul_ps(h0, x0), _mm_mul_ps(h1, x1));
    const __m128 lo_back = _mm_add_ps(_mm_mul_ps(h2, x2), _mm_mul_ps(h3, x3));
    const __m128 hi_front = _mm_add_ps(_mm_mul_ps(g0, x0), _mm_mul_ps(g1, x1));
    const __m128 hi_back = _mm_add_ps(_mm_mul_ps(g2, x2), _mm_mul_ps(g3, x3));
    _mm_store_ps(low + i / 2, _mm_add_ps(lo_front, lo_back));
    _mm_store_ps(high + i / 2, _mm_add_ps(hi_front, hi_back));
    a = c;
  }
}

D4_SSE3 void d4_odd_lowpass_sse3(const float* src, int32_t n, float* dst) {
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
    const __m128 front = _mm_add_ps(_mm_mul_ps(h0, x1), _mm_mul_ps(h1, x2));
    const __m128 back = _mm_add_ps(_mm_mul_ps(h2, x3), _mm_mul_ps(h3, x4));
    _mm_store_ps(dst + i / 2, _mm_add_ps(front, back));
    a = c;
  }
}
