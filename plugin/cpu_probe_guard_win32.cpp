// Fault guard for the CPU probe on Windows.
//
// The compiler offers no structured exception blocks here, so a vectored
// exception handler does the job. Every guarded sequence first stores the
// address of the label just after it; if the sequence faults on the probing
// thread, the handler records the exception code and resumes execution at that
// label with the registers of the faulting moment. The stack is untouched, so
// nothing has to be unwound. MXCSR is left to the caller; the x87 state is not
// disturbed by this path.
#include "plugin/cpu_probe_guard.h"

#if defined(QUIETLOOM_X86) && defined(_WIN32)

#include <windows.h>

namespace {

constexpr DWORD kIllegalInstructionCode = 0xC000001D;

// Set only while a guarded sequence runs; the handler ignores every other
// exception and every other thread.
void* volatile g_resume_address = nullptr;
volatile DWORD g_probe_thread = 0;
volatile DWORD g_fault_code = 0;

LONG CALLBACK on_probe_fault(EXCEPTION_POINTERS* info) {
  if (g_resume_address == nullptr || GetCurrentThreadId() != g_probe_thread) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  g_fault_code = info->ExceptionRecord->ExceptionCode;
#if defined(__x86_64__)
  info->ContextRecord->Rip = reinterpret_cast<DWORD64>(g_resume_address);
#else
  info->ContextRecord->Eip = reinterpret_cast<DWORD>(g_resume_address);
#endif
  g_resume_address = nullptr;
  return EXCEPTION_CONTINUE_EXECUTION;
}

// Stores the address of local label 1 (placed after the guarded instructions)
// in g_resume_address, through a scratch register.
#if defined(__x86_64__)
#define QUIETLOOM_ARM_RESUME "leaq 1f(%%rip), %[scratch]\n\tmovq %[scratch], %[resume]\n\t"
#else
#define QUIETLOOM_ARM_RESUME "leal 1f, %[scratch]\n\tmovl %[scratch], %[resume]\n\t"
#endif

class ProbeScope {
 public:
  ProbeScope() {
    g_fault_code = 0;
    g_probe_thread = GetCurrentThreadId();
    handler_ = AddVectoredExceptionHandler(1, on_probe_fault);
  }
  ~ProbeScope() {
    g_resume_address = nullptr;
    if (handler_ != nullptr) RemoveVectoredExceptionHandler(handler_);
    g_probe_thread = 0;
  }
  ProbeScope(const ProbeScope&) = delete;
  ProbeScope& operator=(const ProbeScope&) = delete;

  bool armed() const { return handler_ != nullptr; }
  ProbeOutcome outcome() const {
    if (g_fault_code == 0) return ProbeOutcome::kCompleted;
    return g_fault_code == kIllegalInstructionCode ? ProbeOutcome::kIllegalInstruction
                                                   : ProbeOutcome::kOtherFault;
  }

 private:
  void* handler_ = nullptr;
};

}  // namespace

// Without a handler a fault could not be caught: the instruction is then
// reported as not usable rather than risked.

ProbeOutcome guarded_cpuid(uint32_t leaf, CpuidRegisters& out) {
  ProbeScope scope;
  if (!scope.armed()) return ProbeOutcome::kIllegalInstruction;
  uintptr_t scratch;
  uint32_t a = leaf, b = 0, c = 0, d = 0;
  __asm__ volatile(QUIETLOOM_ARM_RESUME
                   "cpuid\n"
                   "1:"
                   : [scratch] "=&r"(scratch), [resume] "=m"(g_resume_address), "+a"(a),
                     "+b"(b), "+c"(c), "+d"(d)
                   :
                   : "memory");
  out = CpuidRegisters{a, b, c, d};
  return scope.outcome();
}

ProbeOutcome guarded_read_mxcsr(uint32_t& mxcsr) {
  ProbeScope scope;
  if (!scope.armed()) return ProbeOutcome::kIllegalInstruction;
  uintptr_t scratch;
  uint32_t value = 0;
  __asm__ volatile(QUIETLOOM_ARM_RESUME
                   "stmxcsr %[value]\n"
                   "1:"
                   : [scratch] "=&r"(scratch), [resume] "=m"(g_resume_address),
                     [value] "=m"(value)
                   :
                   : "memory");
  mxcsr = value;
  return scope.outcome();
}

ProbeOutcome guarded_sse_clear() {
  ProbeScope scope;
  if (!scope.armed()) return ProbeOutcome::kIllegalInstruction;
  uintptr_t scratch;
  __asm__ volatile(QUIETLOOM_ARM_RESUME
                   "xorps %%xmm0, %%xmm0\n"
                   "1:"
                   : [scratch] "=&r"(scratch), [resume] "=m"(g_resume_address)
                   :
                   : "xmm0", "memory");
  return scope.outcome();
}

ProbeOutcome guarded_sse_divide_by_zero(uint32_t mxcsr_during) {
  alignas(16) static const float kNumerator[4] = {1.0f, 2.0f, 3.0f, 4.0f};
  alignas(16) static const float kZero[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  ProbeScope scope;
  if (!scope.armed()) return ProbeOutcome::kIllegalInstruction;
  uintptr_t scratch;
  __asm__ volatile(QUIETLOOM_ARM_RESUME
                   "ldmxcsr %[during]\n\t"
                   "movups %[numerator], %%xmm0\n\t"
                   "movups %[zero], %%xmm1\n\t"
                   "divps %%xmm1, %%xmm0\n"
                   "1:"
                   : [scratch] "=&r"(scratch), [resume] "=m"(g_resume_address)
                   : [during] "m"(mxcsr_during), [numerator] "m"(kNumerator), [zero] "m"(kZero)
                   : "xmm0", "xmm1", "memory");
  return scope.outcome();
}

#endif
