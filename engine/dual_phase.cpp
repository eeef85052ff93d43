#include "engine/dual_phase.h"

#include "engine/d4_kernels.h"

void dual_phase_decompose(const float* x, int32_t n, float* X, float* Y, float* Z,
                          const CoringSettings& coring, int32_t simd_level) {
  const D4Kernel analysis = AnalysisKernels[simd_level];
  const D4Kernel odd_upsample = OddUpsampleKernels[simd_level];
  for (int level = 0; level < 3; ++level) {
    const int32_t length = n >> level;
    const int32_t half = length / 2;
    analysis(level == 0 ? x : X, length, Y);
    odd_upsample(Y, half, Z);
    analysis(Z, length, X);
    if (coring.on) {
      const float u = coring.half_threshold[level];
      for (int lane = 0; lane < 4; ++lane) coring.half_vector[lane] = u;
      coring_mask(X, Y, half, coring.mask_threshold[level], coring.half_vector, coring.mask_line);
      apply_coring(X, Y, coring.mask_line, half, coring.core_threshold[level]);
    }
  }
}

void dual_phase_fold_back(float* X, float* Y, float* Z, int32_t n, int32_t simd_level) {
  const D4Kernel synthesis = SynthesisKernels[simd_level];
  const D4Kernel odd_lowpass = OddLowpassKernels[simd_level];
  for (int32_t m = n / 8; m <= n / 2; m *= 2) {
    synthesis(X, m, Z);
    odd_lowpass(Z, 2 * m, Y);
    if (m < n / 2) synthesis(Y, m, X);
  }
}
