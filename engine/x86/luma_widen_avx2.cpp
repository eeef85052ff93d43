// AVX2 form of the luma widening: eight pixels (48 bytes, three vectors) per
// step; byte shuffles take the eight luma samples out of the three vectors,
// which are then sign-extended and converted, exactly, to float.
//
// The function is compiled for AVX2 on its own, so that the rest of the
// build stays at its baseline; the kernel table installs it only at the AVX2
// level.
#include "engine/x86/luma_widen_avx2.h"

#include <immintrin.h>

#define WIDEN_AVX2 __attribute__((target("avx2")))

namespace {

// Luma sample i of the eight pixels is 16-bit slot 3i of the 24: for each of
// the three vectors, the bytes of the slots it holds (-1 elsewhere).
struct ShuffleBytes {
  int8_t b[16];
};

constexpr ShuffleBytes luma_bytes(int v) {
  ShuffleBytes m{};
  for (int i = 0; i < 8; ++i) {
    const int slot = 3 * i;
    const bool here = slot / 8 == v;
    m.b[2 * i] = here ? static_cast<int8_t>(2 * (slot % 8)) : -1;
    m.b[2 * i + 1] = here ? static_cast<int8_t>(2 * (slot % 8) + 1) : -1;
  }
  return m;
}

constexpr ShuffleBytes kLuma[3] = {luma_bytes(0), luma_bytes(1), luma_bytes(2)};

}  // namespace

WIDEN_AVX2 void widen_luma_avx2(const PIXEL_YC* row, int32_t n, float* out) {
  __m128i mask[3];
  for (int v = 0; v < 3; ++v) {
    mask[v] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kLuma[v].b));
  }
  for (int32_t x = 0; x < n; x += 8) {
    const __m128i* src = reinterpret_cast<const __m128i*>(row + x);
    const __m128i luma = _mm_or_si128(
        _mm_or_si128(_mm_shuffle_epi8(_mm_loadu_si128(src), mask[0]),
                     _mm_shuffle_epi8(_mm_loadu_si128(src + 1), mask[1])),
        _mm_shuffle_epi8(_mm_loadu_si128(src + 2), mask[2]));
    _mm256_storeu_ps(out + x, _mm256_cvtepi32_ps(_mm256_cvtepi16_epi32(luma)));
  }
}
