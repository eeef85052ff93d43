#pragma once
// The D4 filter's eight coefficients, each broadcast to the four lanes of an
// SSE register, for the vector kernels that use all of them:
//   const auto [h0, h1, h2, h3, g0, g1, g2, g3] = d4_coefficient_vectors();
#include <xmmintrin.h>

#include "engine/d4_kernels.h"

struct D4CoefficientVectors {
  __m128 h0, h1, h2, h3, g0, g1, g2, g3;
};

inline D4CoefficientVectors d4_coefficient_vectors() {
  return {_mm_set1_ps(kD4H0), _mm_set1_ps(kD4H1), _mm_set1_ps(kD4H2), _mm_set1_ps(kD4H3),
          _mm_set1_ps(kD4G0), _mm_set1_ps(kD4G1), _mm_set1_ps(kD4G2), _mm_set1_ps(kD4G3)};
}
