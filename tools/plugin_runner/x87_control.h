#pragma once
// The x87 control word of the calling thread, for 32-bit x86 builds whose
// double arithmetic runs on the x87 unit. A host may leave its precision
// control at 64-bit extended; the runner can impose that on purpose to show
// that the module's results do not depend on it.
#include <cstdint>

#if defined(__i386__)
inline constexpr bool kHasX87Control = true;

// 0x037F: every exception masked, round to nearest, 64-bit precision.
inline void set_x87_extended_precision() {
  const uint16_t word = 0x037F;
  __asm__ volatile("fldcw %0" : : "m"(word) : "memory");
}

inline uint16_t x87_control_word() {
  uint16_t word = 0;
  __asm__ volatile("fnstcw %0" : "=m"(word) : : "memory");
  return word;
}
#else
inline constexpr bool kHasX87Control = false;
inline void set_x87_extended_precision() {}
inline uint16_t x87_control_word() { return 0; }
#endif
