// AVX2 forms of the D4 line kernels: eight outputs per step, four in a last
// step where a length leaves four (the band lengths are multiples of 4, the
// line lengths multiples of 8). Each lane performs the products and sums of
// the plain form in its order; nothing is fused, so every result is
// bit-identical. The outputs where a line wraps come from a short copy of the
// line's end followed by its start, so that the loads never read past the
// line; the outputs the plain forms compute in double are computed by the
// same scalar code.
//
// Every function is compiled for AVX2 on its own, so that the rest of the
// build stays at its baseline; the kernel table installs them only at the
// AVX2 level.
#include "engine/x86/d4_kernels_avx2.h"

#include <immintrin.h>

#include "engine/d4_double_outputs.h"
#include "engine/d4_kernels.h"

#define D4_AVX2 __attribute__((target("avx2")))
#define D4_AVX2_INLINE D4_AVX2 inline __attribute__((always_inline))

namespace {

struct Coefficients {
  __m256 h0, h1, h2, h3, g0, g1, g2, g3;
};

D4_AVX2_INLINE Coefficients coefficients() {
  return {_mm256_set1_ps(kD4H0), _mm256_set1_ps(kD4H1), _mm256_set1_ps(kD4H2),
          _mm256_set1_ps(kD4H3), _mm256_set1_ps(kD4G0), _mm256_set1_ps(kD4G1),
          _mm256_set1_ps(kD4G2), _mm256_set1_ps(kD4G3)};
}

// The even and the odd samples of the sixteen at p, in the order the
// in-lane shuffle leaves them: (p[0], p[2], p[8], p[10], p[4], p[6], p[12],
// p[14]) and the odd ones likewise. Every lane of a product or sum of such
// vectors holds what it would in order, at the same permuted place, so the
// kernels put only their results in order (in_order): one lane-crossing
// permutation per result instead of one per input.
D4_AVX2_INLINE void deinterleave_in_lanes(const float* p, __m256& even, __m256& odd) {
  const __m256 a = _mm256_loadu_ps(p);
  const __m256 b = _mm256_loadu_ps(p + 8);
  even = _mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
  odd = _mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
}

// The 64-bit quarters 0, 2, 1, 3 of v: the order of the in-lane shuffle undone.
D4_AVX2_INLINE __m256 in_order(__m256 v) {
  return _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(v), _MM_SHUFFLE(3, 1, 2, 0)));
}

// The four-wide form of the same: (p[0], p[2], p[4], p[6]) and the odd ones.
D4_AVX2_INLINE void deinterleave4(const float* p, __m128& even, __m128& odd) {
  const __m128 a = _mm_loadu_ps(p);
  const __m128 b = _mm_loadu_ps(p + 4);
  even = _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
  odd = _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
}

// Stores even[j], odd[j] alternately: 16 outputs from eight pairs. The
// 128-bit halves are stored where they go instead of being put together
// first: a lane-crossing permutation costs several operations on some
// processors (eight on the first Zen cores), a half's store none more.
D4_AVX2_INLINE void store_interleaved(float* dst, __m256 even, __m256 odd) {
  const __m256 low = _mm256_unpacklo_ps(even, odd);   // pairs 0, 1 | 4, 5
  const __m256 high = _mm256_unpackhi_ps(even, odd);  // pairs 2, 3 | 6, 7
  _mm_storeu_ps(dst, _mm256_castps256_ps128(low));
  _mm_storeu_ps(dst + 4, _mm256_castps256_ps128(high));
  _mm_storeu_ps(dst + 8, _mm256_extractf128_ps(low, 1));
  _mm_storeu_ps(dst + 12, _mm256_extractf128_ps(high, 1));
}

D4_AVX2_INLINE void store_interleaved4(float* dst, __m128 even, __m128 odd) {
  _mm_storeu_ps(dst, _mm_unpacklo_ps(even, odd));
  _mm_storeu_ps(dst + 4, _mm_unpackhi_ps(even, odd));
}

// (c0*x0 + c1*x1) + (c2*x2 + c3*x3)
D4_AVX2_INLINE __m256 pairwise(__m256 c0, __m256 x0, __m256 c1, __m256 x1, __m256 c2, __m256 x2,
                               __m256 c3, __m256 x3) {
  return _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(c0, x0), _mm256_mul_ps(c1, x1)),
                       _mm256_add_ps(_mm256_mul_ps(c2, x2), _mm256_mul_ps(c3, x3)));
}

D4_AVX2_INLINE __m128 low_half(__m256 v) { return _mm256_castps256_ps128(v); }

D4_AVX2_INLINE __m128 pairwise4(__m256 c0, __m128 x0, __m256 c1, __m128 x1, __m256 c2, __m128 x2,
                                __m256 c3, __m128 x3) {
  return _mm_add_ps(_mm_add_ps(_mm_mul_ps(low_half(c0), x0), _mm_mul_ps(low_half(c1), x1)),
                    _mm_add_ps(_mm_mul_ps(low_half(c2), x2), _mm_mul_ps(low_half(c3), x3)));
}

// ((a + b) + c) + d of the four products, in this order.
D4_AVX2_INLINE __m256 sequential(__m256 a, __m256 b, __m256 c, __m256 d) {
  return _mm256_add_ps(_mm256_add_ps(_mm256_add_ps(a, b), c), d);
}

D4_AVX2_INLINE __m128 sequential4(__m128 a, __m128 b, __m128 c, __m128 d) {
  return _mm_add_ps(_mm_add_ps(_mm_add_ps(a, b), c), d);
}

// The samples of the last four outputs k = n/2 - 4 .. n/2 - 1 of a line of
// n, whose reads run past its end to its start: x[j] holds sample 2k + j of
// the four (j = 0 .. 4), taken from the line's last eight samples and its
// first four with in-register shuffles. (Copying them to memory and loading
// the vectors from there would make each load wait for the copy's stores.)
D4_AVX2_INLINE void last_four(const float* src, int32_t n, __m128 x[5]) {
  const __m128 a = _mm_loadu_ps(src + n - 8), b = _mm_loadu_ps(src + n - 4), start = _mm_loadu_ps(src);
  // Each four samples two places further on.
  const __m128 s = _mm_shuffle_ps(a, b, _MM_SHUFFLE(1, 0, 3, 2));
  const __m128 t = _mm_shuffle_ps(b, start, _MM_SHUFFLE(1, 0, 3, 2));
  x[0] = _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
  x[1] = _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
  x[2] = _mm_shuffle_ps(s, t, _MM_SHUFFLE(2, 0, 2, 0));
  x[3] = _mm_shuffle_ps(s, t, _MM_SHUFFLE(3, 1, 3, 1));
  x[4] = _mm_shuffle_ps(b, start, _MM_SHUFFLE(2, 0, 2, 0));
}

// Low and high outputs k0 .. k0+7 (or k0+3) from x, where x[j] = sample 2 k0 + j.
D4_AVX2_INLINE void analysis8(const Coefficients& c, const float* x, float* low, float* high) {
  __m256 x0, x1, x2, x3;
  deinterleave_in_lanes(x, x0, x1);
  deinterleave_in_lanes(x + 2, x2, x3);
  _mm256_storeu_ps(low, in_order(pairwise(c.h0, x0, c.h1, x1, c.h2, x2, c.h3, x3)));
  _mm256_storeu_ps(high, in_order(pairwise(c.g0, x0, c.g1, x1, c.g2, x2, c.g3, x3)));
}

D4_AVX2_INLINE void analysis4(const Coefficients& c, const float* x, float* low, float* high) {
  __m128 x0, x1, x2, x3;
  deinterleave4(x, x0, x1);
  deinterleave4(x + 2, x2, x3);
  _mm_storeu_ps(low, pairwise4(c.h0, x0, c.h1, x1, c.h2, x2, c.h3, x3));
  _mm_storeu_ps(high, pairwise4(c.g0, x0, c.g1, x1, c.g2, x2, c.g3, x3));
}

// Odd low-pass outputs k0 .. k0+7 (or k0+3) from x, where x[j] = sample 2 k0 + j.
D4_AVX2_INLINE void odd_lowpass8(const Coefficients& c, const float* x, float* dst) {
  __m256 x1, x2, x3, x4;
  deinterleave_in_lanes(x + 1, x1, x2);
  deinterleave_in_lanes(x + 3, x3, x4);
  _mm256_storeu_ps(dst, in_order(pairwise(c.h0, x1, c.h1, x2, c.h2, x3, c.h3, x4)));
}

D4_AVX2_INLINE void odd_lowpass4(const Coefficients& c, const float* x, float* dst) {
  __m128 x1, x2, x3, x4;
  deinterleave4(x + 1, x1, x2);
  deinterleave4(x + 3, x3, x4);
  _mm_storeu_ps(dst, pairwise4(c.h0, x1, c.h1, x2, c.h2, x3, c.h3, x4));
}

}  // namespace

D4_AVX2 void d4_analysis_l2_avx2(const float* src, int32_t n, float* dst) {
  const Coefficients c = coefficients();
  const int32_t half = n / 2;
  // Outputs k .. k+7 read samples 2k .. 2k+17; all inside the line while
  // 2k + 18 <= n.
  int32_t k = 0;
  for (; 2 * k + 18 <= n; k += 8) analysis8(c, src + 2 * k, dst + k, dst + half + k);
  // Eight or four outputs are left (half is a multiple of 4); of the last
  // four, the last reads two samples past the end.
  if (half - k == 8) analysis4(c, src + 2 * k, dst + k, dst + half + k);
  __m128 x[5];
  last_four(src, n, x);
  _mm_storeu_ps(dst + half - 4, pairwise4(c.h0, x[0], c.h1, x[1], c.h2, x[2], c.h3, x[3]));
  _mm_storeu_ps(dst + half + (half - 4), pairwise4(c.g0, x[0], c.g1, x[1], c.g2, x[2], c.g3, x[3]));
}

D4_AVX2 void d4_odd_lowpass_l2_avx2(const float* src, int32_t n, float* dst) {
  const Coefficients c = coefficients();
  const int32_t half = n / 2;
  // Outputs k .. k+7 read samples 2k+1 .. 2k+18, inside the line while
  // 2k + 19 <= n.
  int32_t k = 0;
  for (; 2 * k + 19 <= n; k += 8) odd_lowpass8(c, src + 2 * k, dst + k);
  // Eight or four outputs are left; of the last four, the last reads three
  // samples past the end.
  if (half - k == 8) odd_lowpass4(c, src + 2 * k, dst + k);
  __m128 x[5];
  last_four(src, n, x);
  _mm_storeu_ps(dst + half - 4, pairwise4(c.h0, x[1], c.h1, x[2], c.h2, x[3], c.h3, x[4]));
}

D4_AVX2 void d4_synthesis_avx2(const float* src, int32_t m, float* dst) {
  const Coefficients c = coefficients();
  const float* low = src;
  const float* high = src + m;
  const __m128 h0 = low_half(c.h0), h1 = low_half(c.h1), h2 = low_half(c.h2), h3 = low_half(c.h3);
  const __m128 g0 = low_half(c.g0), g1 = low_half(c.g1), g2 = low_half(c.g2), g3 = low_half(c.g3);
  {
    // k = 0 .. 3; L[k-1] of k = 0 is L[m-1]. The pairs k = 0, 1 add the low
    // terms first: ((L[k] + L[p]) + H[k]) + H[p]; the others
    // ((L[k] + H[k]) + L[p]) + H[p].
    const __m128 l = _mm_loadu_ps(low), h = _mm_loadu_ps(high);
    const __m128 lp = _mm_setr_ps(low[m - 1], low[0], low[1], low[2]);
    const __m128 hp = _mm_setr_ps(high[m - 1], high[0], high[1], high[2]);
    const __m128 e01 = sequential4(_mm_mul_ps(h0, l), _mm_mul_ps(h2, lp), _mm_mul_ps(g0, h),
                                   _mm_mul_ps(g2, hp));
    const __m128 o01 = sequential4(_mm_mul_ps(h1, l), _mm_mul_ps(h3, lp), _mm_mul_ps(g1, h),
                                   _mm_mul_ps(g3, hp));
    const __m128 e23 = sequential4(_mm_mul_ps(h0, l), _mm_mul_ps(g0, h), _mm_mul_ps(h2, lp),
                                   _mm_mul_ps(g2, hp));
    const __m128 o23 = sequential4(_mm_mul_ps(h1, l), _mm_mul_ps(g1, h), _mm_mul_ps(h3, lp),
                                   _mm_mul_ps(g3, hp));
    store_interleaved4(dst, _mm_shuffle_ps(e01, e23, _MM_SHUFFLE(3, 2, 1, 0)),
                       _mm_shuffle_ps(o01, o23, _MM_SHUFFLE(3, 2, 1, 0)));
  }
  int32_t k = 4;
  for (; k + 8 <= m; k += 8) {
    const __m256 l = _mm256_loadu_ps(low + k), lp = _mm256_loadu_ps(low + k - 1);
    const __m256 h = _mm256_loadu_ps(high + k), hp = _mm256_loadu_ps(high + k - 1);
    const __m256 even = sequential(_mm256_mul_ps(c.h0, l), _mm256_mul_ps(c.g0, h),
                                   _mm256_mul_ps(c.h2, lp), _mm256_mul_ps(c.g2, hp));
    const __m256 odd = sequential(_mm256_mul_ps(c.h1, l), _mm256_mul_ps(c.g1, h),
                                  _mm256_mul_ps(c.h3, lp), _mm256_mul_ps(c.g3, hp));
    store_interleaved(dst + 2 * k, even, odd);
  }
  if (k < m) {
    const __m128 l = _mm_loadu_ps(low + k), lp = _mm_loadu_ps(low + k - 1);
    const __m128 h = _mm_loadu_ps(high + k), hp = _mm_loadu_ps(high + k - 1);
    const __m128 even = sequential4(_mm_mul_ps(h0, l), _mm_mul_ps(g0, h), _mm_mul_ps(h2, lp),
                                    _mm_mul_ps(g2, hp));
    const __m128 odd = sequential4(_mm_mul_ps(h1, l), _mm_mul_ps(g1, h), _mm_mul_ps(h3, lp),
                                   _mm_mul_ps(g3, hp));
    store_interleaved4(dst + 2 * k, even, odd);
  }
}

D4_AVX2 void d4_odd_upsample_avx2(const float* src, int32_t m, float* dst) {
  const Coefficients c = coefficients();
  // Outputs 2k .. 2k+15 from a[k-2 .. k+7]: odd = h0*a[k] + h2*a[k-1],
  // even = h1*a[k-1] + h3*a[k-2]. Outputs 0..3 and 2m-4..2m-1, where the line
  // wraps, are the double ones and are written last; the steps start at
  // k = 2 (outputs 4..), so that no load reads before the line, and with m a
  // multiple of 4 they end exactly at pair m - 2 or m + 2, the last ones
  // overwritten by the double outputs.
  int32_t k = 2;
  for (; k + 8 <= m; k += 8) {
    const __m256 a0 = _mm256_loadu_ps(src + k);
    const __m256 a1 = _mm256_loadu_ps(src + k - 1);
    const __m256 a2 = _mm256_loadu_ps(src + k - 2);
    const __m256 odd = _mm256_add_ps(_mm256_mul_ps(c.h0, a0), _mm256_mul_ps(c.h2, a1));
    const __m256 even = _mm256_add_ps(_mm256_mul_ps(c.h1, a1), _mm256_mul_ps(c.h3, a2));
    store_interleaved(dst + 2 * k, even, odd);
  }
  if (k + 4 <= m) {
    const __m128 h0 = low_half(c.h0), h1 = low_half(c.h1);
    const __m128 h2 = low_half(c.h2), h3 = low_half(c.h3);
    const __m128 a0 = _mm_loadu_ps(src + k);
    const __m128 a1 = _mm_loadu_ps(src + k - 1);
    const __m128 a2 = _mm_loadu_ps(src + k - 2);
    const __m128 odd = _mm_add_ps(_mm_mul_ps(h0, a0), _mm_mul_ps(h2, a1));
    const __m128 even = _mm_add_ps(_mm_mul_ps(h1, a1), _mm_mul_ps(h3, a2));
    store_interleaved4(dst + 2 * k, even, odd);
  }
  for (int32_t i = 0; i < 4; ++i) dst[i] = d4_odd_upsample_double_output(src, m, i);
  for (int32_t i = 2 * m - 4; i < 2 * m; ++i) dst[i] = d4_odd_upsample_double_output(src, m, i);
}
