// The D4 kernel tables (line kernels and row kernels), indexed by SimdLevel.
// Entry 0 (no usable SSE; the engine never runs there) and entry 1 compute the
// level-1 arithmetic, entry 2 the level-2 arithmetic. Synthesis and odd
// upsampling have one arithmetic for every level. On x86 the entries are the
// vector forms; elsewhere the plain forms, which give the same numbers.
#include "engine/d4_kernels.h"
#include "engine/d4_row_kernels.h"

#if defined(__i386__) || defined(__x86_64__)
#include "engine/x86/d4_kernels_sse.h"
#include "engine/x86/d4_kernels_sse3.h"
#include "engine/x86/d4_row_kernels_sse.h"

const D4Kernel AnalysisKernels[3] = {d4_analysis_sse, d4_analysis_sse, d4_analysis_sse3};
const D4Kernel SynthesisKernels[3] = {d4_synthesis_sse, d4_synthesis_sse, d4_synthesis_sse};
const D4Kernel OddLowpassKernels[3] = {d4_odd_lowpass_sse, d4_odd_lowpass_sse, d4_odd_lowpass_sse3};
const D4Kernel OddUpsampleKernels[3] = {d4_odd_upsample_sse, d4_odd_upsample_sse,
                                        d4_odd_upsample_sse};
const D4AnalysisRowKernel AnalysisRowKernels[3] = {
    d4_analysis_rows_l1_sse, d4_analysis_rows_l1_sse, d4_analysis_rows_l2_sse};
const D4SynthesisRowKernel SynthesisRowKernels[3] = {
    d4_synthesis_rows_sse, d4_synthesis_rows_sse, d4_synthesis_rows_sse};
#else
const D4Kernel AnalysisKernels[3] = {d4_analysis_l1_c, d4_analysis_l1_c, d4_analysis_l2_c};
const D4Kernel SynthesisKernels[3] = {d4_synthesis_c, d4_synthesis_c, d4_synthesis_c};
const D4Kernel OddLowpassKernels[3] = {d4_odd_lowpass_l1_c, d4_odd_lowpass_l1_c,
                                       d4_odd_lowpass_l2_c};
const D4Kernel OddUpsampleKernels[3] = {d4_odd_upsample_c, d4_odd_upsample_c, d4_odd_upsample_c};
const D4AnalysisRowKernel AnalysisRowKernels[3] = {
    d4_analysis_rows_l1_c, d4_analysis_rows_l1_c, d4_analysis_rows_l2_c};
const D4SynthesisRowKernel SynthesisRowKernels[3] = {d4_synthesis_rows_c, d4_synthesis_rows_c,
                                                     d4_synthesis_rows_c};
#endif
