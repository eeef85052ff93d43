// SSE forms of the temporal kernels, four positions per step.
//
// A group of four positions stores the window's N slots as N vectors one
// after another, so each step loads the N vectors of one group. Neighbours
// are selected with compare masks; the sums follow the plain form's order
// exactly, lane by lane:
// - nt, S1, S2 and Stx start at +0.0 and can never become -0.0 (a sum is -0.0
//   only when both terms are), so adding +0.0 (or -0.0) for a neighbour that
//   is not taken leaves them bit for bit as skipping it would.
// - Sx starts at x0, which may be -0.0, and -0.0 + +0.0 is +0.0. A neighbour
//   that is not taken therefore contributes -0.0, the one addend that leaves
//   every value unchanged.
// The quotient is an exact division. Lanes where nothing was taken divide by
// 1.0 instead of their zero denominator, so that a discarded lane raises no
// exception flag at all (the frame callback runs with divide-by-zero
// unmasked), and then keep x0.
#if defined(__SSE__)

#include "engine/x86/temporal_kernels_sse.h"

#include <xmmintrin.h>

#include <cstddef>

#include "engine/temporal_kernels_c.h"

namespace {

template <int R, bool kFullFit>
void temporal_estimate_sse(int32_t n, float threshold, float* out, const float* planes,
                           int32_t p, int32_t frame) {
  constexpr int32_t kSlots = 2 * R + 1;
  constexpr int kNeighbours = 2 * R;
  constexpr int32_t kGroupFloats = 4 * kSlots;
  // Cache lines touched by one group of N vectors, each prefetched 256 bytes
  // ahead with a non-temporal hint: the slot data is read once per frame.
  constexpr int kGroupLines = (kGroupFloats * 4 + 63) / 64;

  const int32_t current = 4 * temporal_slot(frame, 0, kSlots);
  int32_t offset[kNeighbours];
  __m128 time[kNeighbours];
  __m128 time_squared[kNeighbours];
  for (int k = 0; k < kNeighbours; ++k) {
    const int32_t t = (k % 2 == 0) ? -(k / 2 + 1) : (k / 2 + 1);
    offset[k] = 4 * temporal_slot(frame, t, kSlots);
    time[k] = _mm_set1_ps(static_cast<float>(t));
    time_squared[k] = _mm_set1_ps(static_cast<float>(t * t));
  }

  const __m128 limit = _mm_set1_ps(threshold);
  const __m128 negative_zero = _mm_set1_ps(-0.0f);
  const __m128 one = _mm_set1_ps(1.0f);

  const float* group = planes + static_cast<ptrdiff_t>(p) * kSlots;
  for (int32_t i = 0; i < n; i += 4, group += kGroupFloats) {
    for (int line = 0; line < kGroupLines; ++line) {
      _mm_prefetch(reinterpret_cast<const char*>(group) + 256 + 64 * line, _MM_HINT_NTA);
    }
    const __m128 x0 = _mm_load_ps(group + current);
    __m128 nt = _mm_setzero_ps();
    __m128 s1 = _mm_setzero_ps();
    __m128 s2 = _mm_setzero_ps();
    __m128 sx = x0;
    __m128 stx = _mm_setzero_ps();
#pragma GCC unroll 8
    for (int k = 0; k < kNeighbours; ++k) {
      const __m128 xt = _mm_load_ps(group + offset[k]);
      const __m128 distance = _mm_andnot_ps(negative_zero, _mm_sub_ps(xt, x0));
      const __m128 taken = _mm_cmplt_ps(distance, limit);
      const __m128 addend = _mm_or_ps(_mm_and_ps(taken, xt), _mm_andnot_ps(taken, negative_zero));
      nt = _mm_add_ps(nt, _mm_and_ps(taken, one));
      s1 = _mm_add_ps(s1, _mm_and_ps(taken, time[k]));
      s2 = _mm_add_ps(s2, _mm_and_ps(taken, time_squared[k]));
      sx = _mm_add_ps(sx, addend);
      // 1 * x = x and -1 * x = -x exactly, and s + (-x) is s - x to the bit.
      if (k == 0) {
        stx = _mm_sub_ps(stx, addend);
      } else if (k == 1) {
        stx = _mm_add_ps(stx, addend);
      } else {
        stx = _mm_add_ps(stx, _mm_mul_ps(time[k], addend));
      }
    }
    const __m128 any_taken = _mm_cmpneq_ps(nt, _mm_setzero_ps());
    __m128 numerator;
    __m128 denominator;
    if constexpr (kFullFit) {
      numerator = _mm_sub_ps(_mm_mul_ps(sx, s2), _mm_mul_ps(stx, s1));
      denominator = _mm_sub_ps(_mm_mul_ps(_mm_add_ps(nt, one), s2), _mm_mul_ps(s1, s1));
    } else {
      numerator = _mm_sub_ps(_mm_mul_ps(sx, s2), stx);
      denominator = _mm_sub_ps(_mm_mul_ps(_mm_add_ps(nt, one), s2), s1);
    }
    denominator = _mm_or_ps(_mm_and_ps(any_taken, denominator), _mm_andnot_ps(any_taken, one));
    const __m128 quotient = _mm_div_ps(numerator, denominator);
    _mm_store_ps(out + i, _mm_or_ps(_mm_and_ps(any_taken, quotient), _mm_andnot_ps(any_taken, x0)));
  }
}

}  // namespace

void temporal_full_n3_sse(int32_t n, float threshold, float* out, const float* planes, int32_t p,
                          int32_t frame) {
  temporal_estimate_sse<1, true>(n, threshold, out, planes, p, frame);
}
void temporal_full_n5_sse(int32_t n, float threshold, float* out, const float* planes, int32_t p,
                          int32_t frame) {
  temporal_estimate_sse<2, true>(n, threshold, out, planes, p, frame);
}
void temporal_full_n7_sse(int32_t n, float threshold, float* out, const float* planes, int32_t p,
                          int32_t frame) {
  temporal_estimate_sse<3, true>(n, threshold, out, planes, p, frame);
}
void temporal_full_n9_sse(int32_t n, float threshold, float* out, const float* planes, int32_t p,
                          int32_t frame) {
  temporal_estimate_sse<4, true>(n, threshold, out, planes, p, frame);
}
void temporal_reduced_n3_sse(int32_t n, float threshold, float* out, const float* planes,
                             int32_t p, int32_t frame) {
  temporal_estimate_sse<1, false>(n, threshold, out, planes, p, frame);
}
void temporal_reduced_n5_sse(int32_t n, float threshold, float* out, const float* planes,
                             int32_t p, int32_t frame) {
  temporal_estimate_sse<2, false>(n, threshold, out, planes, p, frame);
}
void temporal_reduced_n7_sse(int32_t n, float threshold, float* out, const float* planes,
                             int32_t p, int32_t frame) {
  temporal_estimate_sse<3, false>(n, threshold, out, planes, p, frame);
}
void temporal_reduced_n9_sse(int32_t n, float threshold, float* out, const float* planes,
                             int32_t p, int32_t frame) {
  temporal_estimate_sse<4, false>(n, threshold, out, planes, p, frame);
}

#endif  // __SSE__
