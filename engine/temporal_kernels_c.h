#pragma once
// The plain forms of the temporal kernels by name, for the kernel tables.
// Each is written out for its own window length and fit; see
// engine/temporal_kernels.h for the contract.
#include <cstdint>

void temporal_full_n3_c(int32_t n, float threshold, float* out, const float* planes, int32_t p,
                        int32_t frame);
void temporal_full_n5_c(int32_t n, float threshold, float* out, const float* planes, int32_t p,
                        int32_t frame);
void temporal_full_n7_c(int32_t n, float threshold, float* out, const float* planes, int32_t p,
                        int32_t frame);
void temporal_full_n9_c(int32_t n, float threshold, float* out, const float* planes, int32_t p,
                        int32_t frame);
void temporal_reduced_n3_c(int32_t n, float threshold, float* out, const float* planes, int32_t p,
                           int32_t frame);
void temporal_reduced_n5_c(int32_t n, float threshold, float* out, const float* planes, int32_t p,
                           int32_t frame);
void temporal_reduced_n7_c(int32_t n, float threshold, float* out, const float* planes, int32_t p,
                           int32_t frame);
void temporal_reduced_n9_c(int32_t n, float threshold, float* out, const float* planes, int32_t p,
                           int32_t frame);

// Slot of the frame at time offset t from `frame` in a window of n slots:
// (frame + t + n) mod n, formed so that no intermediate can overflow and a
// negative frame number still gives a slot in [0, n).
inline int32_t temporal_slot(int32_t frame, int32_t t, int32_t n) {
  int32_t current = frame % n;
  if (current < 0) current += n;
  return (current + t + n) % n;
}
