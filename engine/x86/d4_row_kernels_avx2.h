#pragma once
// AVX2 forms of the D4 row kernels of the level-2 arithmetic (x86-64 only):
// eight columns per step, bit-identical to d4_analysis_rows_l2_c and
// d4_synthesis_rows_c.
#include <cstdint>

void d4_analysis_rows_l2_avx2(const float* x0, const float* x1, const float* x2, const float* x3,
                              int32_t n, float* low, float* high);
void d4_synthesis_rows_avx2(const float* low, const float* low_prev, const float* high,
                            const float* high_prev, int32_t n, bool leading, float* even,
                            float* odd);
