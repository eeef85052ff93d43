#pragma once
// AVX2 form of the output pass's row kernel (x86-64 only), bit-identical to
// output_row_c (engine/output_kernels.h).
#include <cstdint>

#include "engine/pixel.h"

void output_row_avx2(const float* luma, int32_t n, float gain, float k, const int16_t* cb,
                     const int16_t* cr, int64_t chroma_step, const int16_t* gamma_lut,
                     int16_t* luma_line, PIXEL_YC* dst);
