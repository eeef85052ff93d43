#pragma once
// Processor levels the engine knows: 0 = no usable SSE (frames are blanked),
// 1 = SSE, 2 = SSE and SSE3. Every one-dimensional kernel table is indexed by it.
#include <cstdint>

enum SimdLevelValue : int32_t {
  kSimdNone = 0,
  kSimdSse = 1,
  kSimdSse3 = 2,
};
