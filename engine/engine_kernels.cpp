#include "engine/engine_kernels.h"

#if defined(__i386__) || defined(__x86_64__)
#include "engine/x86/kernel_levels_x86.h"
#define ENGINE_HAS_X86_FORMS 1
#endif

KernelLevel highest_built_kernel_level() {
#if defined(__x86_64__)
  return KernelLevel::kAvx2;
#elif defined(ENGINE_HAS_X86_FORMS)
  return KernelLevel::kSse3;
#else
  return KernelLevel::kPlain;
#endif
}

const char* kernel_level_name(KernelLevel level) {
  switch (level) {
    case KernelLevel::kPlain: return "plain";
    case KernelLevel::kSse: return "sse";
    case KernelLevel::kSse3: return "sse3";
    case KernelLevel::kAvx2: return "avx2";
  }
  return "?";
}

EngineKernels engine_kernels(KernelLevel level) {
  EngineKernels k;
  k.level = KernelLevel::kPlain;
  k.analysis = d4_analysis_l1_c;
  k.synthesis = d4_synthesis_c;
  k.odd_lowpass = d4_odd_lowpass_l1_c;
  k.odd_upsample = d4_odd_upsample_c;
  k.analysis_rows = d4_analysis_rows_l1_c;
  k.synthesis_rows = d4_synthesis_rows_c;
  fill_temporal_kernels_c(k.temporal);
  k.widen_luma = widen_luma_c;
  k.gather_chroma = gather_chroma_columns_c;
  k.gather_cb = gather_cb_columns_c;
  k.gather_cr = gather_cr_columns_c;
  k.output_row = output_row_c;
  k.block_nr_luma = block_nr_luma_c;
  k.mosquito_nr_luma = mosquito_nr_luma_c;
#if defined(ENGINE_HAS_X86_FORMS)
  if (level >= KernelLevel::kSse) add_sse_kernels(k);
  if (level >= KernelLevel::kSse3) add_sse3_kernels(k);
#if defined(__x86_64__)
  if (level >= KernelLevel::kAvx2) add_avx2_kernels(k);
#endif
#else
  (void)level;
#endif
  return k;
}
