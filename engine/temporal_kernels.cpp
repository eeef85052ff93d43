// Plain forms of the temporal kernels: the reference for the vector forms.
//
// For each position the current frame's coefficient x0 is compared with the
// coefficient x_t of every other frame of the window, visited in the order
// t = -1, +1, -2, +2, ... up to +-R. A neighbour is taken when
// |x_t - x0| < T. Over the taken neighbours, in visiting order and in single
// precision, nt counts them, S1 sums t, S2 sums t * t, Sx sums x_t starting
// from x0 and Stx sums t * x_t (S1, S2, nt and Stx start at +0.0).
//   full fit:    (Sx * S2 - Stx * S1) / ((nt + 1) * S2 - S1 * S1)
//   reduced fit: (Sx * S2 - Stx)      / ((nt + 1) * S2 - S1)
// Both are exact single-precision divisions, so every machine gives the same
// bits. With nothing taken the estimate is x0; otherwise the denominator is a
// positive integer, so there is never a division by zero.
#include <cmath>
#include <cstddef>

#include "engine/temporal_kernels.h"
#include "engine/temporal_slot.h"
#include "engine/work_planes.h"

namespace {

template <int R, bool kFullFit>
void temporal_estimate_c(int32_t n, float threshold, float* out, const float* planes, int32_t p,
                         int32_t frame) {
  constexpr int32_t kSlots = 2 * R + 1;
  constexpr int kNeighbours = 2 * R;

  // Offset of each neighbour's value from the position's value in slot 0,
  // and its time offset, in visiting order.
  const int32_t current = kSlotChunk * temporal_slot(frame, 0, kSlots);
  int32_t offset[kNeighbours];
  float time[kNeighbours];
  for (int k = 0; k < kNeighbours; ++k) {
    const int32_t t = (k % 2 == 0) ? -(k / 2 + 1) : (k / 2 + 1);
    offset[k] = kSlotChunk * temporal_slot(frame, t, kSlots);
    time[k] = static_cast<float>(t);
  }

  for (int32_t i = 0; i < n; ++i) {
    const int32_t q = p + i;
    const float* group = planes + slot_index(q, 0, kSlots);
    const float x0 = group[current];
    float nt = 0.0f, s1 = 0.0f, s2 = 0.0f, sx = x0, stx = 0.0f;
    for (int k = 0; k < kNeighbours; ++k) {
      const float xt = group[offset[k]];
      if (std::fabs(xt - x0) < threshold) {
        const float t = time[k];
        nt += 1.0f;
        s1 += t;
        s2 += t * t;
        sx += xt;
        stx += t * xt;
      }
    }
    if (nt == 0.0f) {
      out[i] = x0;
    } else if constexpr (kFullFit) {
      out[i] = (sx * s2 - stx * s1) / ((nt + 1.0f) * s2 - s1 * s1);
    } else {
      out[i] = (sx * s2 - stx) / ((nt + 1.0f) * s2 - s1);
    }
  }
}

}  // namespace

void fill_temporal_kernels_c(TemporalKernel entries[kTemporalKernelEntries]) {
  entries[0] = temporal_estimate_c<1, true>;
  entries[1] = temporal_estimate_c<2, true>;
  entries[2] = temporal_estimate_c<3, true>;
  entries[3] = temporal_estimate_c<4, true>;
  entries[4] = temporal_estimate_c<1, false>;
  entries[5] = temporal_estimate_c<2, false>;
  entries[6] = temporal_estimate_c<3, false>;
  entries[7] = temporal_estimate_c<4, false>;
}
