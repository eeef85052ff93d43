// Plain forms of the D4 row kernels. Each column follows the summation order
// of the plain line kernel of the same level (engine/d4_kernels.cpp) exactly.
#include "engine/d4_row_kernels.h"

#include "engine/d4_kernels.h"

void d4_analysis_rows_l1_c(const float* x0, const float* x1, const float* x2, const float* x3,
                           int32_t n, float* low, float* high) {
  for (int32_t x = 0; x < n; ++x) {
    low[x] = ((kD4H0 * x0[x] + kD4H1 * x1[x]) + kD4H2 * x2[x]) + kD4H3 * x3[x];
    high[x] = ((kD4G1 * x1[x] + kD4G0 * x0[x]) + kD4G3 * x3[x]) + kD4G2 * x2[x];
  }
}

void d4_analysis_rows_l2_c(const float* x0, const float* x1, const float* x2, const float* x3,
                           int32_t n, float* low, float* high) {
  for (int32_t x = 0; x < n; ++x) {
    low[x] = (kD4H0 * x0[x] + kD4H1 * x1[x]) + (kD4H2 * x2[x] + kD4H3 * x3[x]);
    high[x] = (kD4G0 * x0[x] + kD4G1 * x1[x]) + (kD4G2 * x2[x] + kD4G3 * x3[x]);
  }
}

void d4_synthesis_rows_c(const float* low, const float* low_prev, const float* high,
                         const float* high_prev, int32_t n, bool leading, float* even,
                         float* odd) {
  for (int32_t x = 0; x < n; ++x) {
    const float l = low[x], lp = low_prev[x], h = high[x], hp = high_prev[x];
    if (leading) {
      even[x] = ((kD4H0 * l + kD4H2 * lp) + kD4G0 * h) + kD4G2 * hp;
      odd[x] = ((kD4H1 * l + kD4H3 * lp) + kD4G1 * h) + kD4G3 * hp;
    } else {
      even[x] = ((kD4H0 * l + kD4G0 * h) + kD4H2 * lp) + kD4G2 * hp;
      odd[x] = ((kD4H1 * l + kD4G1 * h) + kD4H3 * lp) + kD4G3 * hp;
    }
  }
}
