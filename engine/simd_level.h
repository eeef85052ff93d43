#pragma once
// The values of SimdLevel, the processor level the module decides at
// initialisation: 0 = no usable SSE (frames are blanked), 1 = SSE, 2 = SSE and
// SSE3. The kernel level the module runs at (engine/engine_kernels.h)
// follows from it, with AVX2 above SSE3 where the processor and the
// operating system allow it.
#include <cstdint>

enum SimdLevelValue : int32_t {
  kSimdNone = 0,
  kSimdSse = 1,
  kSimdSse3 = 2,
};
