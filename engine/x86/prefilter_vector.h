#pragma once
// How the level-2 vector forms of the pre-stages ("_sse3") are compiled on
// x86.
//
// They use SSE2 integer instructions. x86-64 always has SSE2, so there they
// are ordinary functions that every call may use. A 32-bit build stops at
// SSE, so there each of them is compiled for SSE3 on its own (SSE3 processors
// all have SSE2) and may only run at SimdLevel 2. Their names end in "sse3"
// and every helper is inlined into them, so that a scan of the binary finds
// SSE2 instructions only in functions so named.
#if defined(__SSE2__)
#define PREFILTER_VECTOR
#define PREFILTER_VECTOR_ALWAYS 1
#else
#define PREFILTER_VECTOR __attribute__((target("sse3")))
#define PREFILTER_VECTOR_ALWAYS 0
#endif
#define PREFILTER_VECTOR_INLINE PREFILTER_VECTOR inline __attribute__((always_inline))

// Whether the vector forms may run at the given SimdLevel.
inline bool prefilter_vector_usable(int simd_level) {
  return PREFILTER_VECTOR_ALWAYS || simd_level >= 2;
}
