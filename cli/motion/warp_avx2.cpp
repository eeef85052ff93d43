// The moved samples back to int16, sixteen at a time: clamped with min and
// max, the half added with the value's own sign, truncated, and packed. The
// clamp keeps every value inside the int16 range, so the saturating pack
// changes none, and the lanes round as the plain loop's to_sample does.
#include "cli/motion/warp_avx2.h"

#if defined(__x86_64__)

#include <immintrin.h>

#include <algorithm>
#include <cmath>

#define WARP_AVX2 __attribute__((target("avx2")))

bool warp_avx2_usable() { return __builtin_cpu_supports("avx2"); }

namespace {

WARP_AVX2 inline __attribute__((always_inline)) __m256i rounded(const float* p) {
  const __m256 c = _mm256_min_ps(_mm256_max_ps(_mm256_loadu_ps(p), _mm256_set1_ps(-32768.0f)),
                                 _mm256_set1_ps(32767.0f));
  const __m256 half = _mm256_or_ps(_mm256_and_ps(c, _mm256_set1_ps(-0.0f)), _mm256_set1_ps(0.5f));
  return _mm256_cvttps_epi32(_mm256_add_ps(c, half));
}

}  // namespace

WARP_AVX2 void round_samples_avx2(const float* in, int count, int16_t* out) {
  int i = 0;
  for (; i + 16 <= count; i += 16) {
    // packs interleaves the two halves 128 bits at a time; the permute puts
    // them back in order.
    const __m256i packed = _mm256_packs_epi32(rounded(in + i), rounded(in + i + 8));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_permute4x64_epi64(packed, 0xD8));
  }
  for (; i < count; ++i) {
    const float c = std::min(std::max(in[i], -32768.0f), 32767.0f);
    out[i] = int16_t(int(c + std::copysign(0.5f, c)));
  }
}

#else

bool warp_avx2_usable() { return false; }
void round_samples_avx2(const float*, int, int16_t*) {}

#endif
