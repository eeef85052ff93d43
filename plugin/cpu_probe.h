#pragma once
// What the processor and the operating system let the engine use.
#include <cstdint>

#include "engine/engine_kernels.h"

// CpuFeatureFlags bits.
constexpr uint32_t kCpuIntelSse = 1;          // "GenuineIntel" and CPUID reports SSE
constexpr uint32_t kCpuSseExecutes = 2;       // an SSE instruction runs without a fault
constexpr uint32_t kCpuSseExceptions = 4;     // SSE divide-by-zero does not fault as illegal
constexpr uint32_t kCpuMmx = 8;               // CPUID reports MMX

// Executes the probe instructions under an exception guard; never fails.
uint32_t probe_cpu_features();

// The SimdLevel decision: 0 none, 1 SSE, 2 SSE and SSE3. A build for a
// processor that is not x86 reports 1 and runs the plain forms.
int32_t detect_simd_level();

// Whether the processor has AVX2 and the operating system saves the 256-bit
// registers on a task switch.
bool avx2_usable();

// The highest kernel level the processor and the operating system allow:
// SimdLevel 1 gives SSE, 2 SSE3, and SSE3 with AVX2 usable AVX2; SimdLevel 0
// and processors other than x86 give plain.
KernelLevel detect_kernel_level();
