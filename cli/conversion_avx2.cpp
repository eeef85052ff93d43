// AVX2 forms of the pair-sharing sample conversions: eight pixels (four
// pairs) per step; the eight PIXEL_YC triples (48 bytes) are laid out or
// taken apart with byte shuffles of the luma and chroma vectors.
#include "cli/conversion_avx2.h"

#if defined(__x86_64__)

#include <immintrin.h>

#include <array>

#include "cli/pixel_shuffles_avx2.h"

#define CONVERSION_AVX2 __attribute__((target("avx2")))
#define CONVERSION_AVX2_INLINE CONVERSION_AVX2 inline __attribute__((always_inline))

namespace {

// The Cb of pairs 0..3 and then their Cr, from the even pixels and from the
// odd ones.
constexpr auto kGatherEven = taking({1, 7, 13, 19, 2, 8, 14, 20});
constexpr auto kGatherOdd = taking({4, 10, 16, 22, 5, 11, 17, 23});

// Eight samples, `bytes` wide, zero-extended to 32 bits.
CONVERSION_AVX2_INLINE __m256i load8(const uint8_t* p, int bytes) {
  if (bytes == 1) return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
  return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// Four samples, `bytes` wide, zero-extended to 32 bits.
CONVERSION_AVX2_INLINE __m128i load4(const uint8_t* p, int bytes) {
  if (bytes == 1) {
    int32_t four;
    __builtin_memcpy(&four, p, 4);
    return _mm_cvtepu8_epi32(_mm_cvtsi32_si128(four));
  }
  return _mm_cvtepu16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}

// round((min(code, max) - zero) x scale) of eight codes, as 16-bit values.
CONVERSION_AVX2_INLINE __m128i to_host8(__m256i codes, const ConversionScale& s) {
  const __m256 clamped = _mm256_cvtepi32_ps(_mm256_min_epu32(codes, _mm256_set1_epi32(s.max)));
  const __m256 value =
      _mm256_mul_ps(_mm256_sub_ps(clamped, _mm256_set1_ps(s.zero)), _mm256_set1_ps(s.scale));
  const __m256i rounded =
      _mm256_cvtps_epi32(_mm256_round_ps(value, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC));
  return _mm_packs_epi32(_mm256_castsi256_si128(rounded), _mm256_extracti128_si256(rounded, 1));
}

// min(max(floor(value x scale + zero + 0.5), 0), max) of eight host values.
CONVERSION_AVX2_INLINE __m256i from_host8(__m128i values, const ConversionScale& s) {
  const __m256 v = _mm256_cvtepi32_ps(_mm256_cvtepi16_epi32(values));
  const __m256 scaled = _mm256_add_ps(_mm256_mul_ps(v, _mm256_set1_ps(s.scale)),
                                      _mm256_set1_ps(s.zero + 0.5f));
  const __m256i whole = _mm256_cvtps_epi32(_mm256_floor_ps(scaled));
  return _mm256_min_epi32(_mm256_max_epi32(whole, _mm256_setzero_si256()),
                          _mm256_set1_epi32(s.max));
}

}  // namespace

bool conversion_avx2_usable() { return __builtin_cpu_supports("avx2"); }

CONVERSION_AVX2 void row_to_host_avx2(const uint8_t* y, const uint8_t* cb, const uint8_t* cr,
                                      int bytes, int32_t groups, const ConversionScale& luma,
                                      const ConversionScale& chroma, PIXEL_YC* out) {
  __m128i luma_mask[3], chroma_mask[3];
  load_masks(kInterleaveLuma, luma_mask);
  load_masks(kInterleaveChroma, chroma_mask);
  for (int32_t g = 0; g < groups; ++g) {
    const __m128i l = to_host8(load8(y + 8 * g * bytes, bytes), luma);
    // [cb0 cr0 cb1 cr1 cb2 cr2 cb3 cr3]
    const __m128i b = load4(cb + 4 * g * bytes, bytes), r = load4(cr + 4 * g * bytes, bytes);
    const __m128i c = to_host8(
        _mm256_set_m128i(_mm_unpackhi_epi32(b, r), _mm_unpacklo_epi32(b, r)), chroma);
    __m128i* dst = reinterpret_cast<__m128i*>(out + 8 * g);
    for (int v = 0; v < 3; ++v) {
      _mm_storeu_si128(dst + v, _mm_or_si128(_mm_shuffle_epi8(l, luma_mask[v]),
                                             _mm_shuffle_epi8(c, chroma_mask[v])));
    }
  }
}

// The host pixels of group g as three vectors.
CONVERSION_AVX2_INLINE void load_group(const PIXEL_YC* in, int32_t g, __m128i part[3]) {
  const __m128i* src = reinterpret_cast<const __m128i*>(in + 8 * g);
  for (int v = 0; v < 3; ++v) part[v] = _mm_loadu_si128(src + v);
}

CONVERSION_AVX2 void luma_from_host_avx2(const PIXEL_YC* in, int32_t groups,
                                         const ConversionScale& luma, uint8_t* y, int bytes) {
  __m128i mask[3];
  load_masks(kTakeLuma, mask);
  for (int32_t g = 0; g < groups; ++g) {
    __m128i part[3];
    load_group(in, g, part);
    const __m256i l = from_host8(pick(part, mask), luma);
    const __m128i words =
        _mm_packus_epi32(_mm256_castsi256_si128(l), _mm256_extracti128_si256(l, 1));
    if (bytes == 1) {
      _mm_storel_epi64(reinterpret_cast<__m128i*>(y + 8 * g), _mm_packus_epi16(words, words));
    } else {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(y + 16 * g), words);
    }
  }
}

CONVERSION_AVX2 void chroma_from_host_avx2(const PIXEL_YC* in, int32_t groups,
                                           const ConversionScale& chroma, unsigned* cb,
                                           unsigned* cr) {
  // Cb of pairs 0..3, then their Cr: from the even pixels and from the odd
  // ones.
  __m128i even_mask[3], odd_mask[3];
  load_masks(kGatherEven, even_mask);
  load_masks(kGatherOdd, odd_mask);
  for (int32_t g = 0; g < groups; ++g) {
    __m128i part[3];
    load_group(in, g, part);
    const __m256i even = from_host8(pick(part, even_mask), chroma);
    const __m256i odd = from_host8(pick(part, odd_mask), chroma);
    // (a + b + 1) / 2: the values are below 65536, so the 16-bit average of
    // each 32-bit lane's low half is the whole average.
    const __m256i pair = _mm256_avg_epu16(even, odd);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(cb + 4 * g), _mm256_castsi256_si128(pair));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(cr + 4 * g), _mm256_extracti128_si256(pair, 1));
  }
}

#else

bool conversion_avx2_usable() { return false; }
void row_to_host_avx2(const uint8_t*, const uint8_t*, const uint8_t*, int, int32_t,
                      const ConversionScale&, const ConversionScale&, PIXEL_YC*) {}
void luma_from_host_avx2(const PIXEL_YC*, int32_t, const ConversionScale&, uint8_t*, int) {}
void chroma_from_host_avx2(const PIXEL_YC*, int32_t, const ConversionScale&, unsigned*,
                           unsigned*) {}

#endif
