#pragma once
// How the level-2 vector forms that need SSE2 integer instructions (the
// pre-stages' row kernels; names ending in "sse3") are compiled on x86.
//
// They use SSE2 integer instructions. x86-64 always has SSE2, so there they
// are ordinary functions that every call may use. A 32-bit build stops at
// SSE, so there each of them is compiled for SSE3 on its own (SSE3 processors
// all have SSE2) and may only run at SimdLevel 2. Their names end in "sse3"
// and every helper is inlined into them, so that a scan of the binary finds
// SSE2 instructions only in functions so named.
#if defined(__SSE2__)
#define SSE2_FORM
#define SSE2_FORM_ALWAYS 1
#else
#define SSE2_FORM __attribute__((target("sse3")))
#define SSE2_FORM_ALWAYS 0
#endif
#define SSE2_FORM_INLINE SSE2_FORM inline __attribute__((always_inline))

// Whether the vector forms may run at the given SimdLevel.
inline bool sse2_form_usable(int simd_level) {
  return SSE2_FORM_ALWAYS || simd_level >= 2;
}
