#pragma once
// How the pre-stages' vector forms, which use SSE2 integer instructions, are
// compiled on x86.
//
// x86-64 always has SSE2, so there they are ordinary functions. A 32-bit
// build stops at SSE, so there each of them is compiled for SSE2 on its own,
// and the kernel table installs them only at the SSE3 level (every processor
// with SSE3 has SSE2). Their names end in "_sse2" and every helper is inlined
// into them, so that a scan of the binary finds SSE2 instructions only in
// functions so named.
#if defined(__SSE2__)
#define SSE2_FORM
#else
#define SSE2_FORM __attribute__((target("sse2")))
#endif
#define SSE2_FORM_INLINE SSE2_FORM inline __attribute__((always_inline))
