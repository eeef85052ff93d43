#pragma once
// The luma of a row of host pixels widened exactly to floats, for the
// spatial pass's vertical step: out[x] = row[x].y for x in [0, n), n a
// multiple of 8. Every form gives the same values.
#include <cstdint>

#include "engine/pixel.h"

using LumaWidenKernel = void (*)(const PIXEL_YC* row, int32_t n, float* out);

// The plain form: the reference for the others.
void widen_luma_c(const PIXEL_YC* row, int32_t n, float* out);
