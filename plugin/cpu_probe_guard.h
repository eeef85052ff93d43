#pragma once
// The probe's instructions, each run under a fault guard that turns a fault
// into an outcome instead of a crash. On Windows the guard is a vectored
// exception handler; on other x86 systems it is a SIGILL/SIGFPE handler that
// jumps back with siglongjmp. Only x86 builds have these functions.
#include <cstdint>

#if defined(__i386__) || defined(__x86_64__)
#define QUIETLOOM_X86 1

enum class ProbeOutcome {
  kCompleted,           // the instructions ran without a fault
  kIllegalInstruction,  // the processor or the system does not know them
  kOtherFault,          // any other fault, such as a delivered SIMD exception
};

struct CpuidRegisters {
  uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
};

// CPUID with the given leaf (sub-leaf 0).
ProbeOutcome guarded_cpuid(uint32_t leaf, CpuidRegisters& out);

// Reads MXCSR; faults where the system has not enabled SSE state.
ProbeOutcome guarded_read_mxcsr(uint32_t& mxcsr);

// Clears an XMM register.
ProbeOutcome guarded_sse_clear();

// Loads mxcsr_during into MXCSR and divides (1, 2, 3, 4) by a zero vector with
// a packed single-precision division. MXCSR is left as it is afterwards, with
// or without a fault: the caller puts its own value back. The x87 control word
// is kept.
ProbeOutcome guarded_sse_divide_by_zero(uint32_t mxcsr_during);

#endif
