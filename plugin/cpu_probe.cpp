// Which SIMD level the processor and the operating system allow.
//
// The level comes from CPUID (SSE in leaf 1 EDX bit 25, SSE3 in ECX bit 0),
// confirmed by actually running an SSE instruction: a system that has not
// enabled SSE state makes it fault, and then nothing may run at all. The probe
// runs its four sub-probes under a fault guard, each on its own, and leaves the
// caller's MXCSR and x87 control word as they were.
#include "plugin/cpu_probe.h"

#include <cstring>

#include "engine/simd_level.h"
#include "plugin/cpu_probe_guard.h"

#if defined(QUIETLOOM_X86)

namespace {

constexpr uint32_t kCpuidEdxMmx = 1u << 23;
constexpr uint32_t kCpuidEdxSse = 1u << 25;
constexpr uint32_t kCpuidEcxSse3 = 1u << 0;
constexpr uint32_t kCpuidEcxOsxsave = 1u << 27;  // the OS enabled XGETBV and XSAVE
constexpr uint32_t kCpuidEcxAvx = 1u << 28;
constexpr uint32_t kCpuid7EbxAvx2 = 1u << 5;
// XCR0 bits 1 and 2: the OS saves the XMM and the upper YMM halves.
constexpr uint32_t kXcr0XmmAndYmm = 0x6;
constexpr uint32_t kMxcsrDivideByZeroMask = 0x200;

// CPUID exists when bit 21 (ID) of EFLAGS can be flipped. Every 64-bit x86
// processor has it, so only a 32-bit build asks.
bool cpuid_available() {
#if defined(__i386__)
  uint32_t original, flipped;
  __asm__ volatile(
      "pushfl\n\t"
      "popl %0\n\t"
      "movl %0, %1\n\t"
      "xorl $0x200000, %1\n\t"
      "pushl %1\n\t"
      "popfl\n\t"
      "pushfl\n\t"
      "popl %1\n\t"
      "pushl %0\n\t"
      "popfl"
      : "=&r"(original), "=&r"(flipped)
      :
      : "cc");
  return ((original ^ flipped) & 0x200000u) != 0;
#else
  return true;
#endif
}

CpuidRegisters cpuid(uint32_t leaf) {
  uint32_t a = leaf, b, c = 0, d;
  __asm__ volatile("cpuid" : "+a"(a), "=b"(b), "+c"(c), "=d"(d));
  return CpuidRegisters{a, b, c, d};
}

// XCR0, the register in which the operating system says which register
// states it saves. Only to be read where CPUID reports OSXSAVE.
uint32_t read_xcr0() {
  uint32_t low, high;
  __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  return low;
}

void write_mxcsr(uint32_t value) { __asm__ volatile("ldmxcsr %0" : : "m"(value)); }

bool mmx_reported() {
  CpuidRegisters leaf1;
  return guarded_cpuid(1, leaf1) == ProbeOutcome::kCompleted && (leaf1.edx & kCpuidEdxMmx) != 0;
}

bool intel_with_sse() {
  CpuidRegisters leaf0;
  if (guarded_cpuid(0, leaf0) != ProbeOutcome::kCompleted) return false;
  // The vendor string is EBX, EDX, ECX in this order.
  char vendor[12];
  std::memcpy(vendor + 0, &leaf0.ebx, 4);
  std::memcpy(vendor + 4, &leaf0.edx, 4);
  std::memcpy(vendor + 8, &leaf0.ecx, 4);
  if (std::memcmp(vendor, "GenuineIntel", 12) != 0) return false;
  CpuidRegisters leaf1;
  return guarded_cpuid(1, leaf1) == ProbeOutcome::kCompleted && (leaf1.edx & kCpuidEdxSse) != 0;
}

bool sse_executes() { return guarded_sse_clear() == ProbeOutcome::kCompleted; }

// With divide-by-zero unmasked the division either completes or raises a
// SIMD exception that the system delivers; only an illegal-instruction fault
// (a system that does not handle SIMD exceptions) counts as absent.
bool sse_exceptions_delivered() {
  uint32_t saved = 0;
  if (guarded_read_mxcsr(saved) != ProbeOutcome::kCompleted) return false;
  const ProbeOutcome outcome = guarded_sse_divide_by_zero(saved & ~kMxcsrDivideByZeroMask);
  write_mxcsr(saved);
  return outcome != ProbeOutcome::kIllegalInstruction;
}

}  // namespace

uint32_t probe_cpu_features() {
  uint32_t flags = 0;
  if (mmx_reported()) flags |= kCpuMmx;
  if (intel_with_sse()) flags |= kCpuIntelSse;
  if (sse_executes()) flags |= kCpuSseExecutes;
  if (sse_exceptions_delivered()) flags |= kCpuSseExceptions;
  return flags;
}

int32_t detect_simd_level() {
  if (!cpuid_available()) return kSimdNone;
  // Leaf 1 exists only when leaf 0 reports it.
  if (cpuid(0).eax < 1) return kSimdNone;
  const CpuidRegisters leaf1 = cpuid(1);
  if ((leaf1.edx & kCpuidEdxSse) == 0) return kSimdNone;
  const int32_t level = (leaf1.ecx & kCpuidEcxSse3) != 0 ? kSimdSse3 : kSimdSse;
  if ((probe_cpu_features() & kCpuSseExecutes) == 0) return kSimdNone;
  return level;
}

bool avx2_usable() {
  if (!cpuid_available()) return false;
  const uint32_t max_leaf = cpuid(0).eax;
  if (max_leaf < 7) return false;
  const CpuidRegisters leaf1 = cpuid(1);
  if ((leaf1.ecx & kCpuidEcxOsxsave) == 0 || (leaf1.ecx & kCpuidEcxAvx) == 0) return false;
  if ((read_xcr0() & kXcr0XmmAndYmm) != kXcr0XmmAndYmm) return false;
  return (cpuid(7).ebx & kCpuid7EbxAvx2) != 0;
}

KernelLevel detect_kernel_level() {
  switch (detect_simd_level()) {
    case kSimdSse: return KernelLevel::kSse;
    case kSimdSse3: return avx2_usable() ? KernelLevel::kAvx2 : KernelLevel::kSse3;
    default: return KernelLevel::kPlain;
  }
}

#else

// Not an x86 processor: none of the probe's instructions exist, and the
// engine runs its plain forms.
uint32_t probe_cpu_features() { return 0; }
int32_t detect_simd_level() { return kSimdSse; }
bool avx2_usable() { return false; }
KernelLevel detect_kernel_level() { return KernelLevel::kPlain; }

#endif
