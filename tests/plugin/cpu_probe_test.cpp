#include <gtest/gtest.h>

#include <cstdint>

#include "plugin/cpu_probe.h"

#if defined(__i386__) || defined(__x86_64__)
#include <signal.h>
#include <xmmintrin.h>

namespace {

uint16_t x87_control_word() {
  uint16_t word = 0;
  __asm__ volatile("fnstcw %0" : "=m"(word));
  return word;
}

void set_x87_control_word(uint16_t word) { __asm__ volatile("fldcw %0" : : "m"(word)); }

// Restores the thread's MXCSR and x87 control word when a test ends, so a
// failing check cannot leave odd modes behind for other tests.
class FloatingPointState {
 public:
  FloatingPointState() : mxcsr_(_mm_getcsr()), x87_(x87_control_word()) {}
  ~FloatingPointState() {
    _mm_setcsr(mxcsr_);
    set_x87_control_word(x87_);
  }

 private:
  unsigned int mxcsr_;
  uint16_t x87_;
};

TEST(CpuProbe, LevelMatchesProcessor) {
  __builtin_cpu_init();
  const int32_t expected = !__builtin_cpu_supports("sse") ? 0
                           : __builtin_cpu_supports("sse3") ? 2
                                                            : 1;
  EXPECT_EQ(detect_simd_level(), expected);
}

TEST(CpuProbe, KernelLevelMatchesProcessorAndSystem) {
  __builtin_cpu_init();
  // The compiler's own check of AVX2 also asks the system (XGETBV) whether
  // it saves the 256-bit registers.
  const KernelLevel expected = !__builtin_cpu_supports("sse")    ? KernelLevel::kPlain
                               : !__builtin_cpu_supports("sse3") ? KernelLevel::kSse
                               : __builtin_cpu_supports("avx2")  ? KernelLevel::kAvx2
                                                                 : KernelLevel::kSse3;
  EXPECT_EQ(detect_kernel_level(), expected);
  EXPECT_EQ(avx2_usable(), __builtin_cpu_supports("avx2") != 0);
}

TEST(CpuProbe, FlagsMatchProcessor) {
  __builtin_cpu_init();
  const uint32_t flags = probe_cpu_features();
  EXPECT_NE(flags & kCpuSseExecutes, 0u) << "an SSE instruction ran without a fault here";
  EXPECT_EQ((flags & kCpuMmx) != 0, __builtin_cpu_supports("mmx") != 0);
  const bool intel_with_sse = __builtin_cpu_is("intel") && __builtin_cpu_supports("sse");
  EXPECT_EQ((flags & kCpuIntelSse) != 0, intel_with_sse);
  EXPECT_EQ(flags & ~(kCpuIntelSse | kCpuSseExecutes | kCpuSseExceptions | kCpuMmx), 0u);
#if defined(__linux__)
  // Linux delivers SIMD floating-point exceptions as SIGFPE.
  EXPECT_NE(flags & kCpuSseExceptions, 0u);
#endif
}

TEST(CpuProbe, IsIdempotent) {
  const uint32_t flags = probe_cpu_features();
  const int32_t level = detect_simd_level();
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(probe_cpu_features(), flags);
    EXPECT_EQ(detect_simd_level(), level);
  }
}

// The divide-by-zero sub-probe unmasks an exception and may fault; whatever
// happens, the caller's modes, masks and sticky flags come back unchanged.
TEST(CpuProbe, KeepsCallersFloatingPointState) {
  FloatingPointState restore;
  const unsigned int mxcsr_values[] = {
      0x1F80,           // power-on default
      0x9D80,           // the frame callback's word: divide-by-zero unmasked
      0x1F80 | 0x6000 | 0x3D,  // round toward zero and some sticky flags
  };
  const uint16_t x87_values[] = {0x027F, 0x037F, 0x0E7F};
  for (unsigned int mxcsr : mxcsr_values) {
    for (uint16_t x87 : x87_values) {
      _mm_setcsr(mxcsr);
      set_x87_control_word(x87);
      const uint32_t flags = probe_cpu_features();
      const unsigned int mxcsr_after = _mm_getcsr();
      const uint16_t x87_after = x87_control_word();
      _mm_setcsr(0x1F80);
      EXPECT_NE(flags & kCpuSseExecutes, 0u);
      EXPECT_EQ(mxcsr_after, mxcsr) << std::hex << mxcsr << " " << x87;
      EXPECT_EQ(x87_after, x87) << std::hex << mxcsr << " " << x87;
    }
  }
  _mm_setcsr(0x9D80);
  detect_simd_level();
  EXPECT_EQ(_mm_getcsr(), 0x9D80u);
}

#if !defined(_WIN32)
void count_signal(int) {}

// The probe borrows SIGILL and SIGFPE only while it runs.
TEST(CpuProbe, PutsPreviousSignalHandlersBack) {
  struct sigaction mine = {};
  mine.sa_handler = count_signal;
  sigemptyset(&mine.sa_mask);
  struct sigaction saved_ill, saved_fpe;
  ASSERT_EQ(sigaction(SIGILL, &mine, &saved_ill), 0);
  ASSERT_EQ(sigaction(SIGFPE, &mine, &saved_fpe), 0);
  probe_cpu_features();
  struct sigaction now_ill, now_fpe;
  sigaction(SIGILL, &saved_ill, &now_ill);
  sigaction(SIGFPE, &saved_fpe, &now_fpe);
  EXPECT_EQ(now_ill.sa_handler, &count_signal);
  EXPECT_EQ(now_fpe.sa_handler, &count_signal);

  // SIGFPE must not stay blocked after the probe jumped out of its handler.
  sigset_t blocked;
  sigprocmask(SIG_BLOCK, nullptr, &blocked);
  EXPECT_EQ(sigismember(&blocked, SIGFPE), 0);
  EXPECT_EQ(sigismember(&blocked, SIGILL), 0);
}
#endif

}  // namespace

#else

// Not x86: the plain forms run, at level 1.
TEST(CpuProbe, PlainFormsOnOtherProcessors) {
  EXPECT_EQ(detect_simd_level(), 1);
  EXPECT_EQ(probe_cpu_features(), 0u);
}

#endif
