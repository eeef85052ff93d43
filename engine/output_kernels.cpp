#include "engine/output_kernels.h"

void output_row_c(const float* luma, int32_t n, float gain, float k, const int16_t* cb,
                  const int16_t* cr, int64_t chroma_step, const int16_t* gamma_lut,
                  int16_t* luma_line, PIXEL_YC* dst) {
  for (int32_t i = 0; i < n; ++i) {
    // Written so that a NaN ends at the lower bound, as a vector max would
    // leave it, instead of reaching the integer conversion.
    float v = luma[i] * gain + k;
    v = v > -8192.0f ? v : -8192.0f;
    v = v < 8192.0f ? v : 8192.0f;
    luma_line[i] = static_cast<int16_t>(static_cast<int32_t>(v));
  }
  for (int32_t j = 0; j < n / 2; ++j) {
    int16_t b = cb[j * chroma_step];
    int16_t r = cr[j * chroma_step];
    if (gamma_lut) {
      b = gamma_curve(gamma_lut, b);
      r = gamma_curve(gamma_lut, r);
    }
    dst[2 * j] = {luma_line[2 * j], b, r};
    dst[2 * j + 1] = {luma_line[2 * j + 1], b, r};
  }
}
