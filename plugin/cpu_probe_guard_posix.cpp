// Fault guard for the CPU probe on x86 systems other than Windows.
//
// Each guarded sequence runs after sigsetjmp with handlers for SIGILL (an
// unknown instruction, or SSE state not enabled by the system) and SIGFPE (a
// delivered SIMD exception). A handler jumps back with siglongjmp, which also
// restores the signal mask. The kernel starts a handler with a clean
// floating-point state and siglongjmp does not give the old one back, so the
// x87 control word is saved before and reloaded after a fault; MXCSR is left
// to the caller, who knows whether it may be touched at all. The previous
// handlers are put back after every sequence.
#include "plugin/cpu_probe_guard.h"

#if defined(QUIETLOOM_X86) && !defined(_WIN32)

#include <setjmp.h>
#include <signal.h>

namespace {

// The escape point of the guarded sequence running on this thread, if any.
thread_local sigjmp_buf* t_escape = nullptr;
thread_local volatile sig_atomic_t t_signal = 0;

struct sigaction g_previous_ill;
struct sigaction g_previous_fpe;

void on_probe_fault(int signal_number) {
  if (t_escape == nullptr) {
    // A fault on a thread that is not probing: hand the signal back to the
    // previous handlers. The faulting instruction runs again and reaches them.
    sigaction(SIGILL, &g_previous_ill, nullptr);
    sigaction(SIGFPE, &g_previous_fpe, nullptr);
    return;
  }
  t_signal = signal_number;
  siglongjmp(*t_escape, 1);
}

uint16_t read_x87_control() {
  uint16_t word = 0;
  __asm__ volatile("fnstcw %0" : "=m"(word));
  return word;
}

void write_x87_control(uint16_t word) { __asm__ volatile("fldcw %0" : : "m"(word)); }

template <typename Sequence>
ProbeOutcome run_guarded(Sequence sequence) {
  struct sigaction action = {};
  action.sa_handler = on_probe_fault;
  sigemptyset(&action.sa_mask);
  sigaction(SIGILL, &action, &g_previous_ill);
  sigaction(SIGFPE, &action, &g_previous_fpe);

  const uint16_t x87_control = read_x87_control();
  sigjmp_buf escape;
  ProbeOutcome outcome = ProbeOutcome::kCompleted;
  t_signal = 0;
  t_escape = &escape;
  if (sigsetjmp(escape, 1) == 0) {
    sequence();
  } else {
    write_x87_control(x87_control);
    outcome = t_signal == SIGILL ? ProbeOutcome::kIllegalInstruction : ProbeOutcome::kOtherFault;
  }
  t_escape = nullptr;

  sigaction(SIGILL, &g_previous_ill, nullptr);
  sigaction(SIGFPE, &g_previous_fpe, nullptr);
  return outcome;
}

}  // namespace

ProbeOutcome guarded_cpuid(uint32_t leaf, CpuidRegisters& out) {
  return run_guarded([&out, leaf] {
    uint32_t a = leaf, b, c = 0, d;
    __asm__ volatile("cpuid" : "+a"(a), "=b"(b), "+c"(c), "=d"(d));
    out = CpuidRegisters{a, b, c, d};
  });
}

ProbeOutcome guarded_read_mxcsr(uint32_t& mxcsr) {
  return run_guarded([&mxcsr] {
    uint32_t value = 0;
    __asm__ volatile("stmxcsr %0" : "=m"(value));
    mxcsr = value;
  });
}

ProbeOutcome guarded_sse_clear() {
  return run_guarded([] { __asm__ volatile("xorps %%xmm0, %%xmm0" : : : "xmm0"); });
}

ProbeOutcome guarded_sse_divide_by_zero(uint32_t mxcsr_during) {
  alignas(16) static const float kNumerator[4] = {1.0f, 2.0f, 3.0f, 4.0f};
  alignas(16) static const float kZero[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  return run_guarded([mxcsr_during] {
    __asm__ volatile(
        "ldmxcsr %0\n\t"
        "movups %1, %%xmm0\n\t"
        "movups %2, %%xmm1\n\t"
        "divps %%xmm1, %%xmm0"
        :
        : "m"(mxcsr_during), "m"(kNumerator), "m"(kZero)
        : "xmm0", "xmm1", "memory");
  });
}

#endif
