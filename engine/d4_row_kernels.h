#pragma once
// D4 steps along columns, a whole row of columns at a time.
//
// A vertical transform of many columns can run row by row: one output row of
// a vertical D4 step is a weighted sum of a few input rows, and each column
// (each index x of the rows) is one independent line. These kernels compute
// one such step for n columns. Every column performs exactly the products and
// sums, in exactly the order, of the line kernel it stands for (see
// engine/d4_kernels.h), so a column transformed here is bit-identical to the
// same column transformed as a line.
//
// Rows are 16-byte aligned floats; n is a multiple of 4.
#include <cstdint>

// One low/high pair of d4_analysis for n columns: with x0..x3 the column
// samples 2k .. 2k+3 (indices already wrapped by the caller), low[x] and
// high[x] are output k and n/2 + k of that column's analysis, in the level-1
// or the level-2 summation order.
using D4AnalysisRowKernel = void (*)(const float* x0, const float* x1, const float* x2,
                                     const float* x3, int32_t n, float* low, float* high);

// One even/odd output pair of d4_synthesis for n columns: from the low
// coefficients k and k-1 (low, low_prev) and the high coefficients k and k-1
// (high, high_prev), even[x] and odd[x] are outputs 2k and 2k+1. `leading`
// selects the summation order of the first two pairs (k = 0, 1), which add
// the low terms first. even and odd may be any of the input rows: each column
// is read before it is written. One arithmetic for every level.
using D4SynthesisRowKernel = void (*)(const float* low, const float* low_prev, const float* high,
                                      const float* high_prev, int32_t n, bool leading,
                                      float* even, float* odd);

// Plain forms: the reference for the vector forms.
void d4_analysis_rows_l1_c(const float* x0, const float* x1, const float* x2, const float* x3,
                           int32_t n, float* low, float* high);
void d4_analysis_rows_l2_c(const float* x0, const float* x1, const float* x2, const float* x3,
                           int32_t n, float* low, float* high);
void d4_synthesis_rows_c(const float* low, const float* low_prev, const float* high,
                         const float* high_prev, int32_t n, bool leading, float* even,
                         float* odd);
