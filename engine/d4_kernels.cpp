// Plain forms of the periodic D4 line kernels: the reference every vector form
// is compared with, and the table entries where no vector form exists.
//
// Numerical contract: every product of two floats is rounded to single and
// every sum is rounded to single, in exactly the order written below. The few
// outputs computed in double use the single coefficients widened to double:
// each product of two floats is exact in double, each sum is rounded to
// double, and the result is rounded once to single. Sample indices wrap
// modulo the line length (periodic extension).
#include "engine/d4_kernels.h"

#include <bit>

#include "engine/d4_double_outputs.h"
#include "engine/x87_precision.h"

// Single-precision sums must be rounded to single after every operation. On
// 32-bit x86 only SSE arithmetic guarantees that; x87 float arithmetic would
// keep extra bits between operations.
#if defined(__i386__) && !defined(__SSE_MATH__)
#error "float arithmetic must use SSE registers (-mfpmath=sse)"
#endif

const float kD4H0 = std::bit_cast<float>(uint32_t{0x3EF746EA});  //  0.482962906
const float kD4H1 = std::bit_cast<float>(uint32_t{0x3F5625EF});  //  0.836516321
const float kD4H2 = std::bit_cast<float>(uint32_t{0x3E6585F8});  //  0.224143863
const float kD4H3 = std::bit_cast<float>(uint32_t{0xBE0483EE});  // -0.129409522
const float kD4G0 = kD4H3;
const float kD4G1 = -kD4H2;
const float kD4G2 = kD4H1;
const float kD4G3 = -kD4H0;

namespace {

// x[i mod n] for 0 <= i < 2n: only the last outputs reach past the end.
inline float at(const float* x, int32_t i, int32_t n) { return x[i < n ? i : i - n]; }

}  // namespace

void d4_analysis_l1_c(const float* src, int32_t n, float* dst) {
  const int32_t half = n / 2;
  for (int32_t k = 0; k < half; ++k) {
    const float x0 = src[2 * k];
    const float x1 = src[2 * k + 1];
    const float x2 = at(src, 2 * k + 2, n);
    const float x3 = at(src, 2 * k + 3, n);
    dst[k] = ((kD4H0 * x0 + kD4H1 * x1) + kD4H2 * x2) + kD4H3 * x3;
    dst[half + k] = ((kD4G1 * x1 + kD4G0 * x0) + kD4G3 * x3) + kD4G2 * x2;
  }
}

void d4_analysis_l2_c(const float* src, int32_t n, float* dst) {
  const int32_t half = n / 2;
  for (int32_t k = 0; k < half; ++k) {
    const float x0 = src[2 * k];
    const float x1 = src[2 * k + 1];
    const float x2 = at(src, 2 * k + 2, n);
    const float x3 = at(src, 2 * k + 3, n);
    dst[k] = (kD4H0 * x0 + kD4H1 * x1) + (kD4H2 * x2 + kD4H3 * x3);
    dst[half + k] = (kD4G0 * x0 + kD4G1 * x1) + (kD4G2 * x2 + kD4G3 * x3);
  }
}

void d4_synthesis_c(const float* src, int32_t m, float* dst) {
  const float* low = src;
  const float* high = src + m;
  for (int32_t k = 0; k < m; ++k) {
    const int32_t p = k == 0 ? m - 1 : k - 1;
    if (k < 2) {
      // The first two pairs add the low terms first.
      dst[2 * k] = ((kD4H0 * low[k] + kD4H2 * low[p]) + kD4G0 * high[k]) + kD4G2 * high[p];
      dst[2 * k + 1] = ((kD4H1 * low[k] + kD4H3 * low[p]) + kD4G1 * high[k]) + kD4G3 * high[p];
    } else {
      dst[2 * k] = ((kD4H0 * low[k] + kD4G0 * high[k]) + kD4H2 * low[p]) + kD4G2 * high[p];
      dst[2 * k + 1] = ((kD4H1 * low[k] + kD4G1 * high[k]) + kD4H3 * low[p]) + kD4G3 * high[p];
    }
  }
}

void d4_odd_lowpass_l1_c(const float* src, int32_t n, float* dst) {
  const int32_t half = n / 2;
  // The last four outputs are the double-precision ones; the wrap (reads of
  // x[n], x[n+1], x[n+2]) happens only among them.
  const int32_t single_end = half - 4;
  for (int32_t k = 0; k < single_end; ++k) {
    const float* x = src + 2 * k;
    dst[k] = ((kD4H0 * x[1] + kD4H1 * x[2]) + kD4H2 * x[3]) + kD4H3 * x[4];
  }
  [[maybe_unused]] X87DoublePrecision double_rounding;
  for (int32_t k = single_end; k < half; ++k) dst[k] = d4_odd_lowpass_double_output(src, n, k);
}

void d4_odd_lowpass_l2_c(const float* src, int32_t n, float* dst) {
  const int32_t half = n / 2;
  for (int32_t k = 0; k < half; ++k) {
    const float x1 = src[2 * k + 1];
    const float x2 = at(src, 2 * k + 2, n);
    const float x3 = at(src, 2 * k + 3, n);
    const float x4 = at(src, 2 * k + 4, n);
    dst[k] = (kD4H0 * x1 + kD4H1 * x2) + (kD4H2 * x3 + kD4H3 * x4);
  }
}

void d4_odd_upsample_c(const float* src, int32_t m, float* dst) {
  // Odd output 2k+1 = h0*a[k] + h2*a[k-1]; even output 2k = h1*a[k-1] + h3*a[k-2].
  // The first and last four outputs, where the line wraps, are computed in double.
  [[maybe_unused]] X87DoublePrecision double_rounding;
  for (int32_t i = 0; i < 4; ++i) dst[i] = d4_odd_upsample_double_output(src, m, i);
  for (int32_t k = 2; k < m - 2; ++k) {
    dst[2 * k] = kD4H1 * src[k - 1] + kD4H3 * src[k - 2];
    dst[2 * k + 1] = kD4H0 * src[k] + kD4H2 * src[k - 1];
  }
  for (int32_t i = 2 * m - 4; i < 2 * m; ++i) dst[i] = d4_odd_upsample_double_output(src, m, i);
}
