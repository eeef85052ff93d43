#pragma once
// SSE forms of the D4 line kernels (no SSE2 instruction). Same contract as
// the plain forms (engine/d4_kernels.h) and bit-identical to the plain form of
// the same arithmetic: d4_analysis_l1_c, d4_analysis_l2_c, d4_synthesis_c,
// d4_odd_lowpass_l1_c, d4_odd_lowpass_l2_c, d4_odd_upsample_c.
#include <cstdint>

void d4_analysis_l1_sse(const float* src, int32_t n, float* dst);
void d4_analysis_l2_sse(const float* src, int32_t n, float* dst);
void d4_synthesis_sse(const float* src, int32_t m, float* dst);
void d4_odd_lowpass_l1_sse(const float* src, int32_t n, float* dst);
void d4_odd_lowpass_l2_sse(const float* src, int32_t n, float* dst);
void d4_odd_upsample_sse(const float* src, int32_t m, float* dst);
