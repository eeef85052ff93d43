#pragma once
// AVX2 forms of the warp's own loops, for the processors that have it. Each
// gives exactly what the plain loop in warp.cpp gives.
#include <cstdint>

#include "engine/pixel.h"

// Whether this processor runs the forms (false outside x86-64).
bool warp_avx2_usable();

// out[i] = the nearest int16 of in[i] (clamped to the int16 range first,
// halves away from zero), for finite values, sixteen at a time while
// sixteen fit (round_into in warp.cpp). Returns the first i not written.
int round_samples_avx2(const float* in, int count, int16_t* out);

// Pixels x_first .. of a moved row from its split rows, rounded as
// round_samples_avx2 rounds, the chroma of pixel x at x / 2 (store_pixels
// in warp.cpp), eight at a time while eight fit before x_end; x_first is
// even. Returns the first pixel not written.
int store_pixels_avx2(const float* y, const float* cb, const float* cr, int x_first, int x_end, PIXEL_YC* out);

// Pixel pairs 0 .. of a row taken apart into a float luma row and the
// even and odd pixels' chroma, four pairs at a time (split_phases in
// warp.cpp). Returns the first pair not done.
int split_phases_avx2(const int16_t* in, int pairs, float* y, float* cb_even, float* cb_odd, float* cr_even,
                      float* cr_odd);
