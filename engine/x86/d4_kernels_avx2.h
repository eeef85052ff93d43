#pragma once
// AVX2 forms of the D4 line kernels of the level-2 arithmetic (x86-64 only).
// Same contract as the plain forms (engine/d4_kernels.h) and bit-identical
// to d4_analysis_l2_c, d4_synthesis_c, d4_odd_lowpass_l2_c and
// d4_odd_upsample_c: no fused multiply-add, every product and every sum
// rounded to single as the plain form rounds it.
#include <cstdint>

void d4_analysis_l2_avx2(const float* src, int32_t n, float* dst);
void d4_synthesis_avx2(const float* src, int32_t m, float* dst);
void d4_odd_lowpass_l2_avx2(const float* src, int32_t n, float* dst);
void d4_odd_upsample_avx2(const float* src, int32_t m, float* dst);
