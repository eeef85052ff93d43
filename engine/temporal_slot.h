#pragma once
// Which slot holds a time offset: shared by every form of the temporal
// kernels.
#include <cstdint>

// Slot of the frame at time offset t from `frame` in a window of n slots:
// (frame + t + n) mod n, formed so that no intermediate can overflow and a
// negative frame number still gives a slot in [0, n).
inline int32_t temporal_slot(int32_t frame, int32_t t, int32_t n) {
  int32_t current = frame % n;
  if (current < 0) current += n;
  return (current + t + n) % n;
}
