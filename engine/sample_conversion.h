#pragma once
// Conversion of a finished float sample back to the host's signed 16-bit
// units: add 0.5, clamp to -8192 .. 8192, truncate toward zero. For negative
// values this is not rounding to nearest: -2.5 becomes -2, -4.4 becomes -3
// and -0.7 becomes 0.
#include <cstdint>

inline int16_t float_to_sample(float value) {
  float v = value + 0.5f;
  // Written so that a NaN clamps to -8192 rather than reaching a conversion
  // whose result would be undefined.
  v = v > -8192.0f ? v : -8192.0f;
  v = v < 8192.0f ? v : 8192.0f;
  return static_cast<int16_t>(static_cast<int32_t>(v));
}
