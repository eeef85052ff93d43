// The temporal kernel table the passes use: the SSE forms where the compiler
// targets SSE (every x86 build of the module), the plain forms elsewhere.
// The engine never runs below SimdLevel 1, so no run-time choice is needed.
#include "engine/temporal_kernels.h"

#if defined(__SSE__)
#include "engine/x86/temporal_kernels_sse.h"

const TemporalKernel TemporalKernels[8] = {
    temporal_full_n3_sse,    temporal_full_n5_sse,    temporal_full_n7_sse,
    temporal_full_n9_sse,    temporal_reduced_n3_sse, temporal_reduced_n5_sse,
    temporal_reduced_n7_sse, temporal_reduced_n9_sse,
};
#else
#include "engine/temporal_kernels_c.h"

const TemporalKernel TemporalKernels[8] = {
    temporal_full_n3_c,    temporal_full_n5_c,    temporal_full_n7_c,    temporal_full_n9_c,
    temporal_reduced_n3_c, temporal_reduced_n5_c, temporal_reduced_n7_c, temporal_reduced_n9_c,
};
#endif
