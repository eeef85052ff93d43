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
#include "engine/temporal_kernels_c.h"

namespace {

template <int R, bool kFullFit>
void temporal_estimate_c(int32_t n, float threshold, float* out, const float* planes, int32_t p,
                         int32_t frame) {
  constexpr int32_t kSlots = 2 * R + 1;
  constexpr int kNeighbours = 2 * R;

  // Offset of each neighbour's value from the start of its group of four
  // positions, and its time offset, in visiting order.
  const int32_t current = 4 * temporal_slot(frame, 0, kSlots);
  int32_t offset[kNeighbours];
  float time[kNeighbours];
  for (int k = 0; k < kNeighbours; ++k) {
    const int32_t t = (k % 2 == 0) ? -(k / 2 + 1) : (k / 2 + 1);
    offset[k] = 4 * temporal_slot(frame, t, kSlots);
    time[k] = static_cast<float>(t);
  }

  for (int32_t i = 0; i < n; ++i) {
    const int32_t q = p + i;
    const float* group = planes + static_cast<ptrdiff_t>(q - q % 4) * kSlots + q % 4;
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

void temporal_full_n3_c(int32_t n, float threshold, float* out, const float* planes, int32_t p,
                        int32_t frame) {
  temporal_estimate_c<1, true>(n, threshold, out, planes, p, frame);
}
void temporal_full_n5_c(int32_t n, float threshold, float* out, const float* planes, int32_t p,
                        int32_t frame) {
  temporal_estimate_c<2, true>(n, threshold, out, planes, p, frame);
}
void temporal_full_n7_c(int32_t n, float threshold, float* out, const float* planes, int32_t p,
                        int32_t frame) {
  temporal_estimate_c<3, true>(n, threshold, out, planes, p, frame);
}
void temporal_full_n9_c(int32_t n, float threshold, float* out, const float* planes, int32_t p,
                        int32_t frame) {
  temporal_estimate_c<4, true>(n, threshold, out, planes, p, frame);
}
void temporal_reduced_n3_c(int32_t n, float threshold, float* out, const float* planes, int32_t p,
                           int32_t frame) {
  temporal_estimate_c<1, false>(n, threshold, out, planes, p, frame);
}
void temporal_reduced_n5_c(int32_t n, float threshold, float* out, const float* planes, int32_t p,
                           int32_t frame) {
  temporal_estimate_c<2, false>(n, threshold, out, planes, p, frame);
}
void temporal_reduced_n7_c(int32_t n, float threshold, float* out, const float* planes, int32_t p,
                           int32_t frame) {
  temporal_estimate_c<3, false>(n, threshold, out, planes, p, frame);
}
void temporal_reduced_n9_c(int32_t n, float threshold, float* out, const float* planes, int32_t p,
                           int32_t frame) {
  temporal_estimate_c<4, false>(n, threshold, out, planes, p, frame);
}

const TemporalKernel TemporalKernelsPlain[8] = {
    temporal_full_n3_c,    temporal_full_n5_c,    temporal_full_n7_c,    temporal_full_n9_c,
    temporal_reduced_n3_c, temporal_reduced_n5_c, temporal_reduced_n7_c, temporal_reduced_n9_c,
};
