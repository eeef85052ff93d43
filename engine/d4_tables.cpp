// The D4 kernel tables, indexed by SimdLevel. Entry 0 (no usable SSE; the
// engine never runs there) and entry 1 compute the level-1 arithmetic, entry 2
// the level-2 arithmetic. Synthesis and odd upsampling have one arithmetic for
// all levels.
#include "engine/d4_kernels.h"

const D4Kernel AnalysisKernels[3] = {d4_analysis_l1_c, d4_analysis_l1_c, d4_analysis_l2_c};
const D4Kernel SynthesisKernels[3] = {d4_synthesis_c, d4_synthesis_c, d4_synthesis_c};
const D4Kernel OddLowpassKernels[3] = {d4_odd_lowpass_l1_c, d4_odd_lowpass_l1_c,
                                       d4_odd_lowpass_l2_c};
const D4Kernel OddUpsampleKernels[3] = {d4_odd_upsample_c, d4_odd_upsample_c, d4_odd_upsample_c};
