#pragma once
// What each x86 level puts into the kernel table (engine/engine_kernels.h),
// over what the levels below it put there.
#include "engine/engine_kernels.h"

// SSE forms of the plain arithmetic (no SSE2 instruction).
void add_sse_kernels(EngineKernels& k);
// The level-2 D4 arithmetic (its forms need only SSE) and the pre-stages'
// SSE2 forms, which every processor with SSE3 can run.
void add_sse3_kernels(EngineKernels& k);
#if defined(__x86_64__)
// AVX2 forms of the SSE3 level's arithmetic, eight lanes wide, without fused
// multiply-adds, so that every product and sum rounds as at SSE3.
void add_avx2_kernels(EngineKernels& k);
#endif
