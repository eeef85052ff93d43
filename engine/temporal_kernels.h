#pragma once
// Selective least-squares estimation across the slots of the temporal window.
//
// A kernel writes, for i in [0, n), out[i] = the estimate at position p + i of
// a slot-interleaved plane (element slot_index(q, s, N) = (q - q % 16) * N +
// 16 * s + q % 16, engine/work_planes.h) for the frame in slot frame % N.
// Neighbours are visited in the order t = -1, +1, -2, +2, ... up to +-R,
// taken when |x_t - x0| < T, and summed in that order in single precision;
// the quotient is an exact single-precision division.
// n and p are multiples of 4; out is 16-byte aligned.
//
// Entry e = (frame_radius - 1) + (anime_mode ? 0 : 4): entries 0..3 full fit,
// 4..7 reduced fit, for N = 3, 5, 7, 9. The kernel table
// (engine/engine_kernels.h) holds the eight entries of each level; each
// vector form is bit-identical to its plain form.
#include <cstdint>

using TemporalKernel = void (*)(int32_t n, float threshold, float* out,
                                const float* planes, int32_t p, int32_t frame);

constexpr int kTemporalKernelEntries = 8;

// Writes the plain forms into the eight entries.
void fill_temporal_kernels_c(TemporalKernel entries[kTemporalKernelEntries]);

inline int temporal_kernel_entry(int frame_radius, bool anime_mode) {
  return (frame_radius - 1) + (anime_mode ? 0 : 4);
}
