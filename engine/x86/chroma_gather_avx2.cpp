// AVX2 forms of the chroma column gathers. Eight rows at a time: each row's
// eight even pixels (one block row, 96 bytes) give their Cb and Cr pairs as
// eight 32-bit lanes through four short loads and two shuffles, which are
// sign-extended, widened to float and adjusted with the plain form's products
// and sums in its order (nothing is fused), so that every value is
// bit-identical; the eight rows' vectors are then transposed into eight
// values down each of the eight columns and stored into the columns' lines.
// The last count % 8 rows go one pixel at a time with the same arithmetic.
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

static_assert(sizeof(PIXEL_YC) == 6 && kChromaGatherColumns == 8, "eight 6-byte pixel pairs a row");

struct Adjustment {
  __m256 gain_cb, gain_cr, hue_sin, hue_cos;
};

GATHER_AVX2_INLINE Adjustment broadcast(const ChromaAdjustment& a) {
  return {_mm256_set1_ps(a.gain_cb), _mm256_set1_ps(a.gain_cr), _mm256_set1_ps(a.hue_sin),
          _mm256_set1_ps(a.hue_cos)};
}

// The Cb/Cr pairs of pixels 0, 2, .., 14 of `row` as lanes 0 .. 7 (Cb in the
// low half of each lane). Pixel 2j's pair lies at byte 12j + 2, so a 16-byte
// load at byte 24m + 2 holds pixel 4m's pair in its lane 0 and pixel
// 4m + 2's in its lane 3. The loads end at byte 90, within the 16 pixels.
GATHER_AVX2_INLINE __m256i row_pairs(const PIXEL_YC* row) {
  const char* bytes = reinterpret_cast<const char*>(row) + 2;
  auto load = [bytes](int offset) {
    return _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + offset)));
  };
  const __m128 low = _mm_shuffle_ps(load(0), load(24), _MM_SHUFFLE(3, 0, 3, 0));
  const __m128 high = _mm_shuffle_ps(load(48), load(72), _MM_SHUFFLE(3, 0, 3, 0));
  return _mm256_castps_si256(_mm256_insertf128_ps(_mm256_castps128_ps256(low), high, 1));
}

//   Cb' = ((cb * gain_cb) * hue_cos) - ((cr * gain_cr) * hue_sin)
//   Cr' = ((cb * gain_cb) * hue_sin) + ((cr * gain_cr) * hue_cos)
GATHER_AVX2_INLINE void adjusted8(__m256i both, const Adjustment& a, __m256& cb_value,
                                  __m256& cr_value) {
  const __m256 cb = _mm256_cvtepi32_ps(_mm256_srai_epi32(_mm256_slli_epi32(both, 16), 16));
  const __m256 cr = _mm256_cvtepi32_ps(_mm256_srai_epi32(both, 16));
  const __m256 cb_gained = _mm256_mul_ps(cb, a.gain_cb);
  const __m256 cr_gained = _mm256_mul_ps(cr, a.gain_cr);
  cb_value =
      _mm256_sub_ps(_mm256_mul_ps(cb_gained, a.hue_cos), _mm256_mul_ps(cr_gained, a.hue_sin));
  cr_value =
      _mm256_add_ps(_mm256_mul_ps(cb_gained, a.hue_sin), _mm256_mul_ps(cr_gained, a.hue_cos));
}

// rows[r] holds row r's value of columns 0 .. 7; stores column c's eight
// values (rows 0 .. 7) at out + c * line_stride.
GATHER_AVX2_INLINE void store_transposed(const __m256 (&rows)[8], float* out,
                                         ptrdiff_t line_stride) {
  __m256 t[8], u[8];
  for (int j = 0; j < 8; j += 2) {
    t[j] = _mm256_unpacklo_ps(rows[j], rows[j + 1]);
    t[j + 1] = _mm256_unpackhi_ps(rows[j], rows[j + 1]);
  }
  for (int j = 0; j < 8; j += 4) {
    u[j] = _mm256_shuffle_ps(t[j], t[j + 2], _MM_SHUFFLE(1, 0, 1, 0));
    u[j + 1] = _mm256_shuffle_ps(t[j], t[j + 2], _MM_SHUFFLE(3, 2, 3, 2));
    u[j + 2] = _mm256_shuffle_ps(t[j + 1], t[j + 3], _MM_SHUFFLE(1, 0, 1, 0));
    u[j + 3] = _mm256_shuffle_ps(t[j + 1], t[j + 3], _MM_SHUFFLE(3, 2, 3, 2));
  }
  // u[c] (c < 4) holds column c of rows 0-3 in its low half and column c + 4
  // in its high half; u[c + 4] the same for rows 4-7.
  for (int c = 0; c < 4; ++c) {
    _mm256_storeu_ps(out + c * line_stride, _mm256_permute2f128_ps(u[c], u[c + 4], 0x20));
    _mm256_storeu_ps(out + (c + 4) * line_stride, _mm256_permute2f128_ps(u[c], u[c + 4], 0x31));
  }
}

// The two-plane gather; either output may be null (that plane is skipped).
GATHER_AVX2_INLINE void gather(const PIXEL_YC* first, int32_t count, int32_t top_pad,
                               int32_t bottom_pad, int32_t step, float* cb_out, float* cr_out,
                               int32_t line_stride, const ChromaAdjustment& adjustment) {
  const Adjustment a = broadcast(adjustment);
  const ptrdiff_t stride = line_stride;
  float* cb = cb_out ? cb_out + top_pad : nullptr;
  float* cr = cr_out ? cr_out + top_pad : nullptr;
  const PIXEL_YC* row = first;
  int32_t i = 0;
  for (; i + 8 <= count; i += 8) {
    __m256 cb_rows[8], cr_rows[8];
    for (int r = 0; r < 8; ++r, row += step) adjusted8(row_pairs(row), a, cb_rows[r], cr_rows[r]);
    if (cb) store_transposed(cb_rows, cb + i, stride);
    if (cr) store_transposed(cr_rows, cr + i, stride);
  }
  for (; i < count; ++i, row += step) {
    for (int32_t c = 0; c < kChromaGatherColumns; ++c) {
      if (cb) cb[c * stride + i] = adjusted_cb(row[2 * c], adjustment);
      if (cr) cr[c * stride + i] = adjusted_cr(row[2 * c], adjustment);
    }
  }
  // The pads repeat the first and the last gathered values.
  if (cb) pad_gathered_lines(cb, count, top_pad, bottom_pad, line_stride);
  if (cr) pad_gathered_lines(cr, count, top_pad, bottom_pad, line_stride);
}

}  // namespace

GATHER_AVX2 void gather_chroma_columns_avx2(const PIXEL_YC* first, int32_t count, int32_t top_pad,
                                            int32_t bottom_pad, int32_t step, float* cb_out,
                                            float* cr_out, int32_t line_stride,
                                            const ChromaAdjustment& adjustment) {
  gather(first, count, top_pad, bottom_pad, step, cb_out, cr_out, line_stride, adjustment);
}

GATHER_AVX2 void gather_cb_columns_avx2(const PIXEL_YC* first, int32_t count, int32_t top_pad,
                                        int32_t bottom_pad, int32_t step, float* cb_out,
                                        int32_t line_stride, const ChromaAdjustment& adjustment) {
  gather(first, count, top_pad, bottom_pad, step, cb_out, nullptr, line_stride, adjustment);
}

GATHER_AVX2 void gather_cr_columns_avx2(const PIXEL_YC* first, int32_t count, int32_t top_pad,
                                        int32_t bottom_pad, int32_t step, float* cr_out,
                                        int32_t line_stride, const ChromaAdjustment& adjustment) {
  gather(first, count, top_pad, bottom_pad, step, nullptr, cr_out, line_stride, adjustment);
}
