#pragma once
// SSE forms of the D4 row kernels (no SSE2 instruction): four columns per
// step, bit-identical to the plain forms of the same level.
#include <cstdint>

void d4_analysis_rows_l1_sse(const float* x0, const float* x1, const float* x2, const float* x3,
                             int32_t n, float* low, float* high);
void d4_analysis_rows_l2_sse(const float* x0, const float* x1, const float* x2, const float* x3,
                             int32_t n, float* low, float* high);
void d4_synthesis_rows_sse(const float* low, const float* low_prev, const float* high,
                           const float* high_prev, int32_t n, bool leading, float* even,
                           float* odd);
