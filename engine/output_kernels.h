#pragma once
// The output pass's row kernel: one output row of the frame from one row of
// the luma work plane and the chroma out planes.
//
// Contract, for the n pixels of the row (n a multiple of 8):
// - luma: out = min(max(v * gain + k, -8192), 8192) truncated toward zero,
//   the product and the sum in single precision, k = offset + 0.5 formed by
//   the caller; a NaN ends at -8192. The converted values also go to
//   luma_line[0, n) (the pass's PartLineBuffers line);
// - chroma: pixels 2j and 2j + 1 take Cb sample cb[j * chroma_step] and Cr
//   sample cr[j * chroma_step]; with a gamma table each is replaced by
//   gamma_lut[min(max(sample + 4095, 0), 8190)] (nullptr: no curve);
// - dst[x] = (luma x, Cb, Cr of its pair).
// Every form gives the same bits as the plain form.
#include <cstdint>

#include "engine/pixel.h"

using OutputRowKernel = void (*)(const float* luma, int32_t n, float gain, float k,
                                 const int16_t* cb, const int16_t* cr, int64_t chroma_step,
                                 const int16_t* gamma_lut, int16_t* luma_line, PIXEL_YC* dst);

// The plain form: the reference for the others.
void output_row_c(const float* luma, int32_t n, float gain, float k, const int16_t* cb,
                  const int16_t* cr, int64_t chroma_step, const int16_t* gamma_lut,
                  int16_t* luma_line, PIXEL_YC* dst);

// The gamma curve's entry for a chroma sample.
inline int16_t gamma_curve(const int16_t* lut, int16_t sample) {
  int32_t index = static_cast<int32_t>(sample) + 4095;
  index = index < 0 ? 0 : (index > 8190 ? 8190 : index);
  return lut[index];
}
