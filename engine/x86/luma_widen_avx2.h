#pragma once
// AVX2 form of the luma widening (x86-64 only), equal to widen_luma_c
// (engine/luma_widen.h).
#include <cstdint>

#include "engine/pixel.h"

void widen_luma_avx2(const PIXEL_YC* row, int32_t n, float* out);
