#pragma once
// Level-2 vector forms of the D4 line kernels (SSE3; call them only at
// SimdLevel 2). Same contract and bit-identical results as the plain forms of
// level 2: d4_analysis_l2_c, d4_odd_lowpass_l2_c. Synthesis and odd
// upsampling have one arithmetic for every level; level 2 uses their SSE forms.
#include <cstdint>

void d4_analysis_sse3(const float* src, int32_t n, float* dst);
void d4_odd_lowpass_sse3(const float* src, int32_t n, float* dst);
