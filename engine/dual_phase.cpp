#include "engine/dual_phase.h"


void dual_phase_decompose(const float* x, int32_t n, float* X, float* Y, float* Z,
                          const CoringSettings& coring, const EngineKernels& kernels) {
  const D4Kernel analysis = kernels.analysis;
  const D4Kernel odd_upsample = kernels.odd_upsample;
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

void dual_phase_fold_back(float* X, float* Y, float* Z, int32_t n, const EngineKernels& kernels) {
  const D4Kernel synthesis = kernels.synthesis;
  const D4Kernel odd_lowpass = kernels.odd_lowpass;
  for (int32_t m = n / 8; m <= n / 2; m *= 2) {
    synthesis(X, m, Z);
    odd_lowpass(Z, 2 * m, Y);
    if (m < n / 2) synthesis(Y, m, X);
  }
}
