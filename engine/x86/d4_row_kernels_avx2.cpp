// AVX2 forms of the D4 row kernels: eight columns per step and four in a last
// step where n leaves four (n is a multiple of 4). Each lane performs the
// products and sums of the plain form in its order, with nothing fused, so
// the results are bit-identical. Rows need only the 16-byte alignment of the
// line buffers: the loads and stores are unaligned ones.
#include "engine/x86/d4_row_kernels_avx2.h"

#include <immintrin.h>

#include "engine/d4_kernels.h"

#define ROWS_AVX2 __attribute__((target("avx2")))
#define ROWS_AVX2_INLINE ROWS_AVX2 inline __attribute__((always_inline))

namespace {

// One arithmetic for both widths: eight lanes (Wide) or four (Narrow).
struct Wide;
struct Narrow;
template <typename Width>
struct Ops;

template <>
struct Ops<Wide> {
  using V = __m256;
  ROWS_AVX2_INLINE static __m256 load(const float* p) { return _mm256_loadu_ps(p); }
  ROWS_AVX2_INLINE static void store(float* p, __m256 v) { _mm256_storeu_ps(p, v); }
  ROWS_AVX2_INLINE static __m256 set1(float c) { return _mm256_set1_ps(c); }
  ROWS_AVX2_INLINE static __m256 add(__m256 a, __m256 b) { return _mm256_add_ps(a, b); }
  ROWS_AVX2_INLINE static __m256 mul(__m256 a, __m256 b) { return _mm256_mul_ps(a, b); }
};

template <>
struct Ops<Narrow> {
  using V = __m128;
  ROWS_AVX2_INLINE static __m128 load(const float* p) { return _mm_loadu_ps(p); }
  ROWS_AVX2_INLINE static void store(float* p, __m128 v) { _mm_storeu_ps(p, v); }
  ROWS_AVX2_INLINE static __m128 set1(float c) { return _mm_set1_ps(c); }
  ROWS_AVX2_INLINE static __m128 add(__m128 a, __m128 b) { return _mm_add_ps(a, b); }
  ROWS_AVX2_INLINE static __m128 mul(__m128 a, __m128 b) { return _mm_mul_ps(a, b); }
};

// Columns x .. x + width - 1: (c0*x0 + c1*x1) + (c2*x2 + c3*x3).
template <typename Width>
ROWS_AVX2_INLINE void analysis_step(const float* x0, const float* x1, const float* x2,
                                    const float* x3, int32_t x, float* low, float* high) {
  using O = Ops<Width>;
  using V = typename O::V;
  const V a = O::load(x0 + x), b = O::load(x1 + x), c = O::load(x2 + x), d = O::load(x3 + x);
  const V lo = O::add(O::add(O::mul(O::set1(kD4H0), a), O::mul(O::set1(kD4H1), b)),
                      O::add(O::mul(O::set1(kD4H2), c), O::mul(O::set1(kD4H3), d)));
  const V hi = O::add(O::add(O::mul(O::set1(kD4G0), a), O::mul(O::set1(kD4G1), b)),
                      O::add(O::mul(O::set1(kD4G2), c), O::mul(O::set1(kD4G3), d)));
  O::store(low + x, lo);
  O::store(high + x, hi);
}

// Columns x .. x + width - 1 of one synthesis pair. Each column is read
// before it is written, so even and odd may be any of the input rows.
template <typename Width>
ROWS_AVX2_INLINE void synthesis_step(const float* low, const float* low_prev, const float* high,
                                     const float* high_prev, int32_t x, bool leading, float* even,
                                     float* odd) {
  using O = Ops<Width>;
  using V = typename O::V;
  const V l = O::load(low + x), lp = O::load(low_prev + x);
  const V h = O::load(high + x), hp = O::load(high_prev + x);
  V e, o;
  if (leading) {
    // ((L[k] term + L[p] term) + H[k] term) + H[p] term
    e = O::add(O::add(O::add(O::mul(O::set1(kD4H0), l), O::mul(O::set1(kD4H2), lp)),
                      O::mul(O::set1(kD4G0), h)),
               O::mul(O::set1(kD4G2), hp));
    o = O::add(O::add(O::add(O::mul(O::set1(kD4H1), l), O::mul(O::set1(kD4H3), lp)),
                      O::mul(O::set1(kD4G1), h)),
               O::mul(O::set1(kD4G3), hp));
  } else {
    // ((L[k] term + H[k] term) + L[p] term) + H[p] term
    e = O::add(O::add(O::add(O::mul(O::set1(kD4H0), l), O::mul(O::set1(kD4G0), h)),
                      O::mul(O::set1(kD4H2), lp)),
               O::mul(O::set1(kD4G2), hp));
    o = O::add(O::add(O::add(O::mul(O::set1(kD4H1), l), O::mul(O::set1(kD4G1), h)),
                      O::mul(O::set1(kD4H3), lp)),
               O::mul(O::set1(kD4G3), hp));
  }
  O::store(even + x, e);
  O::store(odd + x, o);
}

}  // namespace

ROWS_AVX2 void d4_analysis_rows_l2_avx2(const float* x0, const float* x1, const float* x2,
                                        const float* x3, int32_t n, float* low, float* high) {
  int32_t x = 0;
  for (; x + 8 <= n; x += 8) analysis_step<Wide>(x0, x1, x2, x3, x, low, high);
  if (x < n) analysis_step<Narrow>(x0, x1, x2, x3, x, low, high);
}

ROWS_AVX2 void d4_synthesis_rows_avx2(const float* low, const float* low_prev, const float* high,
                                      const float* high_prev, int32_t n, bool leading, float* even,
                                      float* odd) {
  int32_t x = 0;
  for (; x + 8 <= n; x += 8)
    synthesis_step<Wide>(low, low_prev, high, high_prev, x, leading, even, odd);
  if (x < n) synthesis_step<Narrow>(low, low_prev, high, high_prev, x, leading, even, odd);
}
