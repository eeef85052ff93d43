#pragma once
// Level-1 vector forms of the D4 line kernels (SSE, no SSE2 instruction).
// Same contract and bit-identical results as the plain forms of level 1:
// d4_analysis_l1_c, d4_synthesis_c, d4_odd_lowpass_l1_c, d4_odd_upsample_c.
#include <cstdint>

void d4_analysis_sse(const float* src, int32_t n, float* dst);
void d4_synthesis_sse(const float* src, int32_t m, float* dst);
void d4_odd_lowpass_sse(const float* src, int32_t n, float* dst);
void d4_odd_upsample_sse(const float* src, int32_t m, float* dst);
