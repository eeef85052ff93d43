// AVX2 form of the output pass's row kernel, eight pixels per step.
//
// Luma: v * gain + k with one multiply and one add (nothing fused), max with
// -8192 (which also turns a NaN into -8192, as the plain form's comparison
// does), min with 8192, truncation, then packing to 16 bits, which the
// clamped values survive. Chroma: the four pairs' samples are read from
// their lines (H samples apart) and looked up in the gamma table one by one;
// then byte shuffles of the eight luma values and the eight chroma samples
// lay out the eight PIXEL_YC triples, 48 bytes, as three 16-byte stores.
//
// The function is compiled for AVX2 on its own, so that the rest of the
// build stays at its baseline; the kernel table installs it only at the AVX2
// level.
#include "engine/x86/output_kernels_avx2.h"

#include <immintrin.h>

#include "engine/output_kernels.h"

#define OUTPUT_AVX2 __attribute__((target("avx2")))
#define OUTPUT_AVX2_INLINE OUTPUT_AVX2 inline __attribute__((always_inline))

namespace {

// Byte shuffles that pick, for the eight 16-bit slots of each of the three
// output vectors, luma value i (from Y) or chroma sample i (from C: Cb of
// pair p at 2p, Cr at 2p + 1); -1 leaves the slot to the other source.
// Pixel x is (y_x, cb_{x/2}, cr_{x/2}).
constexpr int8_t kNone = -1;
constexpr int kSlots = 24;
// Source of each output slot: luma index, or 100 + chroma index.
constexpr int kSource[kSlots] = {0,   100, 101, 1,   100, 101, 2,   102,   // pixels 0, 1, 2..
                                 103, 3,   102, 103, 4,   104, 105, 5,     // .. 2, 3, 4, 5..
                                 104, 105, 6,   106, 107, 7,   106, 107};  // .. 5, 6, 7

OUTPUT_AVX2_INLINE __m128i shuffle_mask(int vector, bool from_chroma) {
  alignas(16) int8_t bytes[16];
  for (int slot = 0; slot < 8; ++slot) {
    const int source = kSource[8 * vector + slot];
    const bool is_chroma = source >= 100;
    const int index = is_chroma ? source - 100 : source;
    const bool take = is_chroma == from_chroma;
    bytes[2 * slot] = take ? static_cast<int8_t>(2 * index) : kNone;
    bytes[2 * slot + 1] = take ? static_cast<int8_t>(2 * index + 1) : kNone;
  }
  return _mm_load_si128(reinterpret_cast<const __m128i*>(bytes));
}

struct Masks {
  __m128i luma[3], chroma[3];
};

OUTPUT_AVX2_INLINE Masks masks() {
  Masks m;
  for (int v = 0; v < 3; ++v) {
    m.luma[v] = shuffle_mask(v, false);
    m.chroma[v] = shuffle_mask(v, true);
  }
  return m;
}

}  // namespace

OUTPUT_AVX2 void output_row_avx2(const float* luma, int32_t n, float gain, float k,
                                 const int16_t* cb, const int16_t* cr, int64_t chroma_step,
                                 const int16_t* gamma_lut, int16_t* luma_line, PIXEL_YC* dst) {
  const __m256 gains = _mm256_set1_ps(gain);
  const __m256 offset = _mm256_set1_ps(k);
  const __m256 low = _mm256_set1_ps(-8192.0f);
  const __m256 high = _mm256_set1_ps(8192.0f);
  const Masks m = masks();
  for (int32_t x = 0; x < n; x += 8) {
    // max(v, -8192) returns -8192 for a NaN v: maxps gives its second
    // operand when the comparison fails.
    __m256 v = _mm256_add_ps(_mm256_mul_ps(_mm256_loadu_ps(luma + x), gains), offset);
    v = _mm256_min_ps(_mm256_max_ps(v, low), high);
    const __m256i words = _mm256_cvttps_epi32(v);
    const __m128i y = _mm_packs_epi32(_mm256_castsi256_si128(words),
                                      _mm256_extracti128_si256(words, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(luma_line + x), y);

    int16_t c[8];
    for (int p = 0; p < 4; ++p) {
      const int64_t at = (x / 2 + p) * chroma_step;
      c[2 * p] = cb[at];
      c[2 * p + 1] = cr[at];
    }
    if (gamma_lut) {
      for (int16_t& sample : c) sample = gamma_curve(gamma_lut, sample);
    }
    const __m128i chroma = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c));
    __m128i* out = reinterpret_cast<__m128i*>(dst + x);
    for (int vector = 0; vector < 3; ++vector) {
      _mm_storeu_si128(out + vector, _mm_or_si128(_mm_shuffle_epi8(y, m.luma[vector]),
                                                  _mm_shuffle_epi8(chroma, m.chroma[vector])));
    }
  }
}
