// SSE forms of the temporal kernels, four positions per step.
//
// The four positions of a step lie in one chunk of the slot layout, where
// each slot's values are contiguous, so each step loads one vector of each of
// the N slots. Neighbours are selected with compare masks; the sums follow the plain form's order
// exactly, lane by lane:
// - nt, S1 and S2 are sums of small integers, exact whatever the order, so
//   they are gathered pair by pair (t = -j and +j together); none of their
//   terms is -0.0, so they are +0.0 wherever the plain form's are.
// - Stx starts at +0.0 and can never become -0.0 (a sum is -0.0 only when
//   both terms are), so adding +0.0 (or -0.0) for a neighbour that is not
//   taken leaves it bit for bit as skipping it would.
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

#include "engine/temporal_slot.h"
#include "engine/work_planes.h"

namespace {

template <int R, bool kFullFit>
void temporal_estimate_sse(int32_t n, float threshold, float* out, const float* planes,
                           int32_t p, int32_t frame) {
  constexpr int32_t kSlots = 2 * R + 1;

  // Offsets of the current frame's and the neighbours' values at t = -j and
  // +j (j = 1 .. R) from a position's value in slot 0.
  const int32_t current = kSlotChunk * temporal_slot(frame, 0, kSlots);
  int32_t before[R + 1], after[R + 1];
  for (int j = 1; j <= R; ++j) {
    before[j] = kSlotChunk * temporal_slot(frame, -j, kSlots);
    after[j] = kSlotChunk * temporal_slot(frame, j, kSlots);
  }

  const __m128 limit = _mm_set1_ps(threshold);
  const __m128 negative_zero = _mm_set1_ps(-0.0f);
  const __m128 one = _mm_set1_ps(1.0f);

  for (int32_t i = 0; i < n; i += 4) {
    const int32_t q = p + i;
    const int32_t within = q % kSlotChunk;
    const float* chunk = planes + static_cast<ptrdiff_t>(q - within) * kSlots;
    if (within == 0 || i == 0) {
      // The chunk kPrefetchChunks ahead, every slot's line of it.
      const char* ahead = reinterpret_cast<const char*>(chunk + kPrefetchChunks * kSlotChunk * kSlots);
      for (int32_t s = 0; s < kSlots; ++s) _mm_prefetch(ahead + 64 * s, _MM_HINT_T0);
    }
    const float* group = chunk + within;
    const __m128 x0 = _mm_load_ps(group + current);
    __m128 nt, s1, s2;
    __m128 sx = x0;
    __m128 stx = _mm_setzero_ps();
    // Neighbour t, taken or not: the mask, and the addend of Sx and Stx (the
    // value, or -0.0 when not taken).
    auto neighbour = [&](int32_t offset, __m128& taken) {
      const __m128 xt = _mm_load_ps(group + offset);
      const __m128 distance = _mm_andnot_ps(negative_zero, _mm_sub_ps(xt, x0));
      taken = _mm_cmplt_ps(distance, limit);
      return _mm_or_ps(_mm_and_ps(taken, xt), _mm_andnot_ps(taken, negative_zero));
    };
#pragma GCC unroll 4
    for (int j = 1; j <= R; ++j) {
      __m128 taken_before, taken_after;
      const __m128 value_before = neighbour(before[j], taken_before);
      sx = _mm_add_ps(sx, value_before);
      const __m128 value_after = neighbour(after[j], taken_after);
      sx = _mm_add_ps(sx, value_after);
      // Stx in visiting order; 1 * x = x and -1 * x = -x exactly, and
      // s + (-x) is s - x to the bit.
      if (j == 1) {
        stx = _mm_sub_ps(stx, value_before);
        stx = _mm_add_ps(stx, value_after);
      } else {
        const __m128 t = _mm_set1_ps(static_cast<float>(j));
        stx = _mm_add_ps(stx, _mm_mul_ps(_mm_sub_ps(_mm_setzero_ps(), t), value_before));
        stx = _mm_add_ps(stx, _mm_mul_ps(t, value_after));
      }
      // nt, S1 and S2 are sums of small integers, exact in any order, and
      // never -0.0: the pair at +-j adds both of its counts to nt, j times
      // their difference to S1 and j * j times their sum to S2.
      const __m128 count_before = _mm_and_ps(taken_before, one);
      const __m128 count_after = _mm_and_ps(taken_after, one);
      const __m128 both = _mm_add_ps(count_before, count_after);
      const __m128 difference = _mm_sub_ps(count_after, count_before);
      if (j == 1) {
        // The first pair's counts are the sums so far (0 + c = c here, as
        // none of them is -0.0).
        nt = both;
        s1 = difference;
        s2 = both;
      } else {
        nt = _mm_add_ps(nt, both);
        s1 = _mm_add_ps(s1, _mm_mul_ps(_mm_set1_ps(static_cast<float>(j)), difference));
        s2 = _mm_add_ps(s2, _mm_mul_ps(_mm_set1_ps(static_cast<float>(j * j)), both));
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

void fill_temporal_kernels_sse(TemporalKernel entries[kTemporalKernelEntries]) {
  entries[0] = temporal_estimate_sse<1, true>;
  entries[1] = temporal_estimate_sse<2, true>;
  entries[2] = temporal_estimate_sse<3, true>;
  entries[3] = temporal_estimate_sse<4, true>;
  entries[4] = temporal_estimate_sse<1, false>;
  entries[5] = temporal_estimate_sse<2, false>;
  entries[6] = temporal_estimate_sse<3, false>;
  entries[7] = temporal_estimate_sse<4, false>;
}

#endif  // __SSE__
