// AVX2 forms of the chroma column gathers: eight pixels of the column per
// step, each pixel's Cb and Cr (bytes 2 to 5 of its PIXEL_YC) fetched as one
// 32-bit lane by a gather instruction, sign-extended, widened to float and
// adjusted with the plain form's products and sums in its order (nothing is
// fused), so that every value is bit-identical. The last count % 8 pixels go
// one at a time with the same arithmetic.
//
// Each function is compiled for AVX2 on its own, so that the rest of the
// build stays at its baseline; the kernel table installs them only at the
// AVX2 level.
#include "engine/x86/chroma_gather_avx2.h"

#include <immintrin.h>

#include <cstddef>

#define GATHER_AVX2 __attribute__((target("avx2")))
#define GATHER_AVX2_INLINE GATHER_AVX2 inline __attribute__((always_inline))

namespace {

struct Adjustment {
  __m256 gain_cb, gain_cr, hue_sin, hue_cos;
};

GATHER_AVX2_INLINE Adjustment broadcast(const ChromaAdjustment& a) {
  return {_mm256_set1_ps(a.gain_cb), _mm256_set1_ps(a.gain_cr), _mm256_set1_ps(a.hue_sin),
          _mm256_set1_ps(a.hue_cos)};
}

// Cb' and Cr' of eight pixels step pixels apart from `first`:
//   Cb' = ((cb * gain_cb) * hue_cos) - ((cr * gain_cr) * hue_sin)
//   Cr' = ((cb * gain_cb) * hue_sin) + ((cr * gain_cr) * hue_cos)
GATHER_AVX2_INLINE void adjusted8(const PIXEL_YC* first, __m256i offsets, const Adjustment& a,
                                  __m256& cb_value, __m256& cr_value) {
  // Lane i: the 32 bits at pixel i's cb, cb in the low half, cr in the high.
  const __m256i both = _mm256_i32gather_epi32(reinterpret_cast<const int*>(&first->cb), offsets, 1);
  const __m256 cb = _mm256_cvtepi32_ps(_mm256_srai_epi32(_mm256_slli_epi32(both, 16), 16));
  const __m256 cr = _mm256_cvtepi32_ps(_mm256_srai_epi32(both, 16));
  const __m256 cb_gained = _mm256_mul_ps(cb, a.gain_cb);
  const __m256 cr_gained = _mm256_mul_ps(cr, a.gain_cr);
  cb_value =
      _mm256_sub_ps(_mm256_mul_ps(cb_gained, a.hue_cos), _mm256_mul_ps(cr_gained, a.hue_sin));
  cr_value =
      _mm256_add_ps(_mm256_mul_ps(cb_gained, a.hue_sin), _mm256_mul_ps(cr_gained, a.hue_cos));
}

// The two-plane gather; either output may be null (that plane is skipped).
GATHER_AVX2_INLINE void gather(const PIXEL_YC* first, int32_t count, int32_t top_pad,
                               int32_t bottom_pad, int32_t step, float* cb_out, float* cr_out,
                               const ChromaAdjustment& adjustment) {
  const Adjustment a = broadcast(adjustment);
  const int32_t step_bytes = step * static_cast<int32_t>(sizeof(PIXEL_YC));
  const __m256i offsets =
      _mm256_mullo_epi32(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7), _mm256_set1_epi32(step_bytes));
  float* cb = cb_out ? cb_out + top_pad : nullptr;
  float* cr = cr_out ? cr_out + top_pad : nullptr;
  const PIXEL_YC* pixel = first;
  int32_t i = 0;
  for (; i + 8 <= count; i += 8, pixel += 8 * static_cast<ptrdiff_t>(step)) {
    __m256 cb_value, cr_value;
    adjusted8(pixel, offsets, a, cb_value, cr_value);
    if (cb) _mm256_storeu_ps(cb + i, cb_value);
    if (cr) _mm256_storeu_ps(cr + i, cr_value);
  }
  for (; i < count; ++i, pixel += step) {
    if (cb) cb[i] = adjusted_cb(*pixel, adjustment);
    if (cr) cr[i] = adjusted_cr(*pixel, adjustment);
  }
  // The pads repeat the first and the last gathered values.
  auto pad = [&](float* line) {
    if (!line) return;
    const float top = line[0];
    const float bottom = line[count - 1];
    for (int32_t j = 1; j <= top_pad; ++j) line[-j] = top;
    for (int32_t j = 0; j < bottom_pad; ++j) line[count + j] = bottom;
  };
  pad(cb);
  pad(cr);
}

}  // namespace

GATHER_AVX2 void gather_chroma_column_avx2(const PIXEL_YC* first, int32_t count, int32_t top_pad,
                                           int32_t bottom_pad, int32_t step, float* cb_out,
                                           float* cr_out, const ChromaAdjustment& adjustment) {
  gather(first, count, top_pad, bottom_pad, step, cb_out, cr_out, adjustment);
}

GATHER_AVX2 void gather_cb_column_avx2(const PIXEL_YC* first, int32_t count, int32_t top_pad,
                                       int32_t bottom_pad, int32_t step, float* cb_out,
                                       const ChromaAdjustment& adjustment) {
  gather(first, count, top_pad, bottom_pad, step, cb_out, nullptr, adjustment);
}

GATHER_AVX2 void gather_cr_column_avx2(const PIXEL_YC* first, int32_t count, int32_t top_pad,
                                       int32_t bottom_pad, int32_t step, float* cr_out,
                                       const ChromaAdjustment& adjustment) {
  gather(first, count, top_pad, bottom_pad, step, nullptr, cr_out, adjustment);
}
