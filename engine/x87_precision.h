#pragma once
// Double-precision arithmetic that really rounds to double.
//
// A 32-bit x86 build without SSE2 computes doubles on the x87 unit, whose
// precision control a caller (the host) may leave at 64-bit extended. Then a
// chain of double additions would be rounded to 64 bits and only at the end
// to double, which changes results in the last bit. Holding a guard of this
// type sets the precision control to 53 bits and restores the caller's word
// when the guard goes out of scope. Everywhere else it does nothing.
#include <cstdint>

class X87DoublePrecision {
 public:
#if defined(__i386__) && !defined(__SSE2_MATH__)
  X87DoublePrecision() {
    __asm__ volatile("fnstcw %0" : "=m"(saved_) : : "memory");
    uint16_t word = static_cast<uint16_t>((saved_ & ~0x0300u) | 0x0200u);
    __asm__ volatile("fldcw %0" : : "m"(word) : "memory");
  }
  ~X87DoublePrecision() { __asm__ volatile("fldcw %0" : : "m"(saved_) : "memory"); }

 private:
  uint16_t saved_ = 0;
#else
  X87DoublePrecision() = default;
#endif
  X87DoublePrecision(const X87DoublePrecision&) = delete;
  X87DoublePrecision& operator=(const X87DoublePrecision&) = delete;
};
