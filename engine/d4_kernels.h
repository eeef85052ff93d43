#pragma once
// The four periodic D4 line kernels: their contract and their plain forms.
// The kernel table (engine/engine_kernels.h) holds the form each level uses.
//
// Contract (every form, every level): src and dst are 16-byte aligned, never
// overlap, and every index is taken modulo the line length (periodic extension).
//   d4_analysis     count = n (multiple of 8, >= 16): dst[0, n/2) low band,
//                   dst[n/2, n) high band of src[0, n).
//   d4_synthesis    count = m (multiple of 4, >= 8): low src[0, m), high
//                   src[m, 2m) -> dst[0, 2m).
//   d4_odd_lowpass  count = n (multiple of 8, >= 16): dst[0, n/2), low band at
//                   the odd phase.
//   d4_odd_upsample count = m (multiple of 4, >= 8): dst[0, 2m), low-band-only
//                   synthesis at the odd phase.
// Analysis and odd low-pass have two arithmetics: level 1 (sequential sums;
// the odd low-pass's last four outputs in double) and level 2 (pairwise
// sums). Synthesis and odd upsampling have one. The plain "_c" forms are the
// reference: each vector form is bit-identical to the plain form of its
// arithmetic.
#include <cstdint>

using D4Kernel = void (*)(const float* src, int32_t count, float* dst);

// The single-precision filter coefficients (exact bit patterns).
extern const float kD4H0, kD4H1, kD4H2, kD4H3;
// The high-pass filter (g0, g1, g2, g3) = (h3, -h2, h1, -h0), exact negations.
extern const float kD4G0, kD4G1, kD4G2, kD4G3;

// Plain forms: "_l1" = level-1 summation order, "_l2" = level-2 order.
void d4_analysis_l1_c(const float* src, int32_t n, float* dst);
void d4_analysis_l2_c(const float* src, int32_t n, float* dst);
void d4_synthesis_c(const float* src, int32_t m, float* dst);
void d4_odd_lowpass_l1_c(const float* src, int32_t n, float* dst);
void d4_odd_lowpass_l2_c(const float* src, int32_t n, float* dst);
void d4_odd_upsample_c(const float* src, int32_t m, float* dst);
