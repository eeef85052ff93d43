// The warp's samples rounded back to int16, sixteen at a time: clamped with
// min and max, the half added with the value's own sign, truncated, and
// packed. The clamp keeps every value inside the int16 range, so the
// saturating pack changes none, and the lanes round as the plain loops'
// to_sample does (the plain loops finish what the vectors leave). Rows split into channels, and put together as pixels
// again, eight pixels at a time with byte shuffles.
#include "cli/motion/warp_avx2.h"

#if defined(__x86_64__)

#include <immintrin.h>

#include <array>

#include "cli/pixel_shuffles_avx2.h"

#define WARP_AVX2 __attribute__((target("avx2")))
#define WARP_AVX2_INLINE WARP_AVX2 inline __attribute__((always_inline))

bool warp_avx2_usable() { return __builtin_cpu_supports("avx2"); }

namespace {

WARP_AVX2_INLINE __m256i rounded8(const float* p) {
  const __m256 c = _mm256_min_ps(_mm256_max_ps(_mm256_loadu_ps(p), _mm256_set1_ps(-32768.0f)),
                                 _mm256_set1_ps(32767.0f));
  const __m256 half = _mm256_or_ps(_mm256_and_ps(c, _mm256_set1_ps(-0.0f)), _mm256_set1_ps(0.5f));
  return _mm256_cvttps_epi32(_mm256_add_ps(c, half));
}

WARP_AVX2_INLINE __m128i rounded4(const float* p) {
  const __m128 c = _mm_min_ps(_mm_max_ps(_mm_loadu_ps(p), _mm_set1_ps(-32768.0f)), _mm_set1_ps(32767.0f));
  const __m128 half = _mm_or_ps(_mm_and_ps(c, _mm_set1_ps(-0.0f)), _mm_set1_ps(0.5f));
  return _mm_cvttps_epi32(_mm_add_ps(c, half));
}

// The even pixels' Cb, then the odd pixels'; the same for Cr.
constexpr auto kTakeCbPhases = taking({1, 7, 13, 19, 4, 10, 16, 22});
constexpr auto kTakeCrPhases = taking({2, 8, 14, 20, 5, 11, 17, 23});

WARP_AVX2_INLINE __m256 take(const __m128i part[3], const __m128i mask[3]) {
  return _mm256_cvtepi32_ps(_mm256_cvtepi16_epi32(pick(part, mask)));
}

}  // namespace

WARP_AVX2 int round_samples_avx2(const float* in, int count, int16_t* out) {
  int i = 0;
  for (; i + 16 <= count; i += 16) {
    // packs interleaves the two halves 128 bits at a time; the permute puts
    // them back in order.
    const __m256i packed = _mm256_packs_epi32(rounded8(in + i), rounded8(in + i + 8));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_permute4x64_epi64(packed, 0xD8));
  }
  return i;
}

WARP_AVX2 int store_pixels_avx2(const float* y, const float* cb, const float* cr, int x_first, int x_end,
                                PIXEL_YC* out) {
  int x = x_first;
  __m128i luma_mask[3], chroma_mask[3];
  load_masks(kInterleaveLuma, luma_mask);
  load_masks(kInterleaveChroma, chroma_mask);
  for (; x + 8 <= x_end; x += 8) {
    const __m256i luma = rounded8(y + x);
    const __m128i l = _mm_packs_epi32(_mm256_castsi256_si128(luma), _mm256_extracti128_si256(luma, 1));
    const __m128i b = rounded4(cb + x / 2), r = rounded4(cr + x / 2);
    // [cb0 cr0 cb1 cr1 cb2 cr2 cb3 cr3]
    const __m128i c = _mm_unpacklo_epi16(_mm_packs_epi32(b, b), _mm_packs_epi32(r, r));
    __m128i* dst = reinterpret_cast<__m128i*>(out + x);
    for (int v = 0; v < 3; ++v) {
      _mm_storeu_si128(dst + v, _mm_or_si128(_mm_shuffle_epi8(l, luma_mask[v]), _mm_shuffle_epi8(c, chroma_mask[v])));
    }
  }
  return x;
}

WARP_AVX2 int split_phases_avx2(const int16_t* in, int pairs, float* y, float* cb_even, float* cb_odd,
                                float* cr_even, float* cr_odd) {
  __m128i luma[3], blue[3], red[3];
  load_masks(kTakeLuma, luma);
  load_masks(kTakeCbPhases, blue);
  load_masks(kTakeCrPhases, red);
  int p = 0;
  for (; p + 4 <= pairs; p += 4) {
    __m128i part[3];
    for (int v = 0; v < 3; ++v) part[v] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 6 * p + 8 * v));
    _mm256_storeu_ps(y + 2 * p, take(part, luma));
    const __m256 b = take(part, blue), r = take(part, red);
    _mm_storeu_ps(cb_even + p, _mm256_castps256_ps128(b));
    _mm_storeu_ps(cb_odd + p, _mm256_extractf128_ps(b, 1));
    _mm_storeu_ps(cr_even + p, _mm256_castps256_ps128(r));
    _mm_storeu_ps(cr_odd + p, _mm256_extractf128_ps(r, 1));
  }
  return p;
}

#else

bool warp_avx2_usable() { return false; }
int round_samples_avx2(const float*, int, int16_t*) { return 0; }
int store_pixels_avx2(const float*, const float*, const float*, int x_first, int, PIXEL_YC*) { return x_first; }
int split_phases_avx2(const int16_t*, int, float*, float*, float*, float*, float*) { return 0; }

#endif
