#pragma once
// Holds the SSE control word at the engine's setting for the duration of a
// frame call and gives the caller's word back on every path out.
//
// 0x9D80: round to nearest, flush-to-zero on, denormals-are-zero off, every
// exception masked except divide-by-zero.
#include <cstdint>

#if defined(__i386__) || defined(__x86_64__) || defined(_M_IX86) || defined(_M_X64)
#include <xmmintrin.h>

class MxcsrGuard {
 public:
  static constexpr uint32_t kEngineControlWord = 0x9D80;
  MxcsrGuard() : saved_(_mm_getcsr()) { _mm_setcsr(kEngineControlWord); }
  ~MxcsrGuard() { _mm_setcsr(saved_); }
  MxcsrGuard(const MxcsrGuard&) = delete;
  MxcsrGuard& operator=(const MxcsrGuard&) = delete;

 private:
  uint32_t saved_;
};
#else
// Other processors have no SSE control word; the engine runs its plain forms.
class MxcsrGuard {
 public:
  MxcsrGuard() = default;
  MxcsrGuard(const MxcsrGuard&) = delete;
  MxcsrGuard& operator=(const MxcsrGuard&) = delete;
};
#endif
