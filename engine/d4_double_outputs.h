#pragma once
// The D4 outputs that are computed in double precision, shared by the plain
// and the vector forms so that both round them the same way.
//
// Each product of two floats is exact in double; each sum is rounded to
// double and the result once to single. The caller holds an
// X87DoublePrecision guard, so that a 32-bit x87 build really rounds the sums
// to double.
#include <cstdint>

#include "engine/d4_kernels.h"

// ((c0*x0 + c1*x1) + c2*x2) + c3*x3 in double, rounded once to single.
inline float d4_dot4_double(float c0, float x0, float c1, float x1, float c2, float x2, float c3,
                            float x3) {
  double sum = static_cast<double>(c0) * static_cast<double>(x0);
  sum = sum + static_cast<double>(c1) * static_cast<double>(x1);
  sum = sum + static_cast<double>(c2) * static_cast<double>(x2);
  sum = sum + static_cast<double>(c3) * static_cast<double>(x3);
  return static_cast<float>(sum);
}

// c0*x0 + c1*x1 in double, rounded once to single.
inline float d4_dot2_double(float c0, float x0, float c1, float x1) {
  double sum = static_cast<double>(c0) * static_cast<double>(x0);
  sum = sum + static_cast<double>(c1) * static_cast<double>(x1);
  return static_cast<float>(sum);
}

// Odd low-pass output k of a line of n samples, k in [n/2 - 4, n/2): the
// level-1 form computes these four, where the line wraps, in double.
inline float d4_odd_lowpass_double_output(const float* src, int32_t n, int32_t k) {
  auto x = [src, n](int32_t i) { return src[i < n ? i : i - n]; };
  return d4_dot4_double(kD4H0, x(2 * k + 1), kD4H1, x(2 * k + 2), kD4H2, x(2 * k + 3), kD4H3,
                        x(2 * k + 4));
}

// Odd upsample output i of m low coefficients: odd output 2k+1 is
// h0*a[k] + h2*a[k-1], even output 2k is h1*a[k-1] + h3*a[k-2] (indices
// modulo m). Every form computes outputs 0..3 and 2m-4..2m-1, where the line
// wraps, in double.
inline float d4_odd_upsample_double_output(const float* src, int32_t m, int32_t i) {
  auto a = [src, m](int32_t j) { return src[(j + m) % m]; };
  const int32_t k = i / 2;
  if (i % 2 == 1) return d4_dot2_double(kD4H0, a(k), kD4H2, a(k - 1));
  return d4_dot2_double(kD4H1, a(k - 1), kD4H3, a(k - 2));
}
