#include "engine/x86/kernel_levels_x86.h"

#include "engine/x86/d4_kernels_sse.h"
#if defined(__x86_64__)
#include "engine/x86/chroma_gather_avx2.h"
#include "engine/x86/d4_kernels_avx2.h"
#include "engine/x86/d4_row_kernels_avx2.h"
#include "engine/x86/luma_widen_avx2.h"
#include "engine/x86/output_kernels_avx2.h"
#include "engine/x86/temporal_kernels_avx2.h"
#endif
#include "engine/x86/d4_row_kernels_sse.h"
#include "engine/x86/temporal_kernels_sse.h"
#include "prefilter/x86/block_nr_sse2.h"
#include "prefilter/x86/mosquito_nr_sse2.h"

void add_sse_kernels(EngineKernels& k) {
  k.level = KernelLevel::kSse;
  k.analysis = d4_analysis_l1_sse;
  k.synthesis = d4_synthesis_sse;
  k.odd_lowpass = d4_odd_lowpass_l1_sse;
  k.odd_upsample = d4_odd_upsample_sse;
  k.analysis_rows = d4_analysis_rows_l1_sse;
  k.synthesis_rows = d4_synthesis_rows_sse;
  fill_temporal_kernels_sse(k.temporal);
}

void add_sse3_kernels(EngineKernels& k) {
  k.level = KernelLevel::kSse3;
  k.analysis = d4_analysis_l2_sse;
  k.odd_lowpass = d4_odd_lowpass_l2_sse;
  k.analysis_rows = d4_analysis_rows_l2_sse;
  k.block_nr_luma = block_nr_luma_sse2;
  k.mosquito_nr_luma = mosquito_nr_luma_sse2;
}

#if defined(__x86_64__)
void add_avx2_kernels(EngineKernels& k) {
  k.level = KernelLevel::kAvx2;
  k.analysis = d4_analysis_l2_avx2;
  k.synthesis = d4_synthesis_avx2;
  k.odd_lowpass = d4_odd_lowpass_l2_avx2;
  k.odd_upsample = d4_odd_upsample_avx2;
  k.analysis_rows = d4_analysis_rows_l2_avx2;
  k.synthesis_rows = d4_synthesis_rows_avx2;
  fill_temporal_kernels_avx2(k.temporal);
  k.output_row = output_row_avx2;
  k.widen_luma = widen_luma_avx2;
  k.gather_chroma = gather_chroma_columns_avx2;
  k.gather_cb = gather_cb_columns_avx2;
  k.gather_cr = gather_cr_columns_avx2;
}
#endif
