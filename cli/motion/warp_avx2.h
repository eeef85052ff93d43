#pragma once
// AVX2 forms of the warp's own loops, for the processors that have it. Each
// gives exactly what the plain loop in warp.cpp gives.
#include <cstdint>

// Whether this processor runs the forms (false outside x86-64).
bool warp_avx2_usable();

// out[i] = the nearest int16 of in[i] (clamped to the int16 range first,
// halves away from zero), for finite values.
void round_samples_avx2(const float* in, int count, int16_t* out);
