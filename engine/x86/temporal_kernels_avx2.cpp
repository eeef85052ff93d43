// AVX2 forms of the temporal kernels: eight positions per step where the
// eight lie in one chunk of the slot layout, four otherwise.
//
// The lanes compute exactly what the SSE forms compute (see
// engine/x86/temporal_kernels_sse.cpp for why each sum ends bit for bit where
// the plain form's does): compare masks select the taken neighbours (with
// blends, where the SSE forms have only and, andnot and or), a
// neighbour not taken adds -0.0 to Sx and Stx, nt, S1 and S2 are gathered pair
// by pair, and the quotient is an exact division of the numerator by the
// denominator, or by 1.0 where nothing was taken. Nothing is fused.
//
// Each function is compiled for AVX2 on its own, so that the rest of the
// build stays at its baseline; the kernel table installs them only at the
// AVX2 level.
#include "engine/x86/temporal_kernels_avx2.h"

#include <immintrin.h>

#include <cstddef>

#include "engine/temporal_slot.h"
#include "engine/work_planes.h"

#define TEMPORAL_AVX2 __attribute__((target("avx2")))
#define TEMPORAL_AVX2_INLINE TEMPORAL_AVX2 inline __attribute__((always_inline))

namespace {

// The operations at eight lanes (Wide) and at four (Narrow).
struct Wide;
struct Narrow;
template <typename Width>
struct Ops;

template <>
struct Ops<Wide> {
  using V = __m256;
  TEMPORAL_AVX2_INLINE static V load(const float* p) { return _mm256_loadu_ps(p); }
  TEMPORAL_AVX2_INLINE static void store(float* p, V v) { _mm256_storeu_ps(p, v); }
  TEMPORAL_AVX2_INLINE static V set1(float c) { return _mm256_set1_ps(c); }
  TEMPORAL_AVX2_INLINE static V zero() { return _mm256_setzero_ps(); }
  TEMPORAL_AVX2_INLINE static V add(V a, V b) { return _mm256_add_ps(a, b); }
  TEMPORAL_AVX2_INLINE static V sub(V a, V b) { return _mm256_sub_ps(a, b); }
  TEMPORAL_AVX2_INLINE static V mul(V a, V b) { return _mm256_mul_ps(a, b); }
  TEMPORAL_AVX2_INLINE static V div(V a, V b) { return _mm256_div_ps(a, b); }
  TEMPORAL_AVX2_INLINE static V and_(V a, V b) { return _mm256_and_ps(a, b); }
  TEMPORAL_AVX2_INLINE static V andnot(V a, V b) { return _mm256_andnot_ps(a, b); }
  // mask ? a : b, lane by lane (the masks are all ones or all zeros).
  TEMPORAL_AVX2_INLINE static V select(V mask, V a, V b) { return _mm256_blendv_ps(b, a, mask); }
  // The predicates of SSE's cmpltps and cmpneqps.
  TEMPORAL_AVX2_INLINE static V less(V a, V b) { return _mm256_cmp_ps(a, b, _CMP_LT_OS); }
  TEMPORAL_AVX2_INLINE static V not_equal(V a, V b) { return _mm256_cmp_ps(a, b, _CMP_NEQ_UQ); }
};

template <>
struct Ops<Narrow> {
  using V = __m128;
  TEMPORAL_AVX2_INLINE static V load(const float* p) { return _mm_loadu_ps(p); }
  TEMPORAL_AVX2_INLINE static void store(float* p, V v) { _mm_storeu_ps(p, v); }
  TEMPORAL_AVX2_INLINE static V set1(float c) { return _mm_set1_ps(c); }
  TEMPORAL_AVX2_INLINE static V zero() { return _mm_setzero_ps(); }
  TEMPORAL_AVX2_INLINE static V add(V a, V b) { return _mm_add_ps(a, b); }
  TEMPORAL_AVX2_INLINE static V sub(V a, V b) { return _mm_sub_ps(a, b); }
  TEMPORAL_AVX2_INLINE static V mul(V a, V b) { return _mm_mul_ps(a, b); }
  TEMPORAL_AVX2_INLINE static V div(V a, V b) { return _mm_div_ps(a, b); }
  TEMPORAL_AVX2_INLINE static V and_(V a, V b) { return _mm_and_ps(a, b); }
  TEMPORAL_AVX2_INLINE static V andnot(V a, V b) { return _mm_andnot_ps(a, b); }
  TEMPORAL_AVX2_INLINE static V select(V mask, V a, V b) { return _mm_blendv_ps(b, a, mask); }
  TEMPORAL_AVX2_INLINE static V less(V a, V b) { return _mm_cmplt_ps(a, b); }
  TEMPORAL_AVX2_INLINE static V not_equal(V a, V b) { return _mm_cmpneq_ps(a, b); }
};

// The slots of the neighbours at t = -j and +j (j = 1 .. R), as offsets from
// a position's value in slot 0.
template <int R>
struct Neighbours {
  int32_t current;
  int32_t before[R + 1];
  int32_t after[R + 1];
};

// The estimates of the positions whose slot-0 values start at `at`, written
// to out: eight of them (Wide) or four (Narrow).
template <typename Width, int R, bool kFullFit>
TEMPORAL_AVX2_INLINE void estimate(const float* at, const Neighbours<R>& slots, float threshold,
                                   float* out) {
  using O = Ops<Width>;
  using V = typename O::V;
  const V limit = O::set1(threshold);
  const V negative_zero = O::set1(-0.0f);
  const V one = O::set1(1.0f);
  const V x0 = O::load(at + slots.current);
  V nt = O::zero(), s1 = O::zero(), s2 = O::zero();
  V sx = x0;
  V stx = O::zero();
#pragma GCC unroll 4
  for (int j = 1; j <= R; ++j) {
    // Neighbour t, taken or not: the mask, and the addend of Sx and Stx (the
    // value, or -0.0 when not taken).
    const V before = O::load(at + slots.before[j]);
    const V after = O::load(at + slots.after[j]);
    const V taken_before = O::less(O::andnot(negative_zero, O::sub(before, x0)), limit);
    const V taken_after = O::less(O::andnot(negative_zero, O::sub(after, x0)), limit);
    const V value_before = O::select(taken_before, before, negative_zero);
    const V value_after = O::select(taken_after, after, negative_zero);
    sx = O::add(sx, value_before);
    sx = O::add(sx, value_after);
    if (j == 1) {
      stx = O::sub(stx, value_before);
      stx = O::add(stx, value_after);
    } else {
      const V t = O::set1(static_cast<float>(j));
      stx = O::add(stx, O::mul(O::sub(O::zero(), t), value_before));
      stx = O::add(stx, O::mul(t, value_after));
    }
    const V count_before = O::and_(taken_before, one);
    const V count_after = O::and_(taken_after, one);
    const V both = O::add(count_before, count_after);
    const V difference = O::sub(count_after, count_before);
    if (j == 1) {
      nt = both;
      s1 = difference;
      s2 = both;
    } else {
      nt = O::add(nt, both);
      s1 = O::add(s1, O::mul(O::set1(static_cast<float>(j)), difference));
      s2 = O::add(s2, O::mul(O::set1(static_cast<float>(j * j)), both));
    }
  }
  const V any_taken = O::not_equal(nt, O::zero());
  V numerator, denominator;
  if constexpr (kFullFit) {
    numerator = O::sub(O::mul(sx, s2), O::mul(stx, s1));
    denominator = O::sub(O::mul(O::add(nt, one), s2), O::mul(s1, s1));
  } else {
    numerator = O::sub(O::mul(sx, s2), stx);
    denominator = O::sub(O::mul(O::add(nt, one), s2), s1);
  }
  denominator = O::select(any_taken, denominator, one);
  const V quotient = O::div(numerator, denominator);
  O::store(out, O::select(any_taken, quotient, x0));
}

template <int R, bool kFullFit>
TEMPORAL_AVX2 void temporal_estimate_avx2(int32_t n, float threshold, float* out,
                                          const float* planes, int32_t p, int32_t frame) {
  constexpr int32_t kSlots = 2 * R + 1;
  Neighbours<R> slots;
  slots.current = kSlotChunk * temporal_slot(frame, 0, kSlots);
  for (int j = 1; j <= R; ++j) {
    slots.before[j] = kSlotChunk * temporal_slot(frame, -j, kSlots);
    slots.after[j] = kSlotChunk * temporal_slot(frame, j, kSlots);
  }
  int32_t i = 0;
  while (i < n) {
    const int32_t q = p + i;
    const int32_t within = q % kSlotChunk;
    const float* chunk = planes + static_cast<ptrdiff_t>(q - within) * kSlots;
    if (within == 0 || i == 0) {
      // The chunk kPrefetchChunks ahead, every slot's line of it.
      const char* ahead = reinterpret_cast<const char*>(chunk + kPrefetchChunks * kSlotChunk * kSlots);
      for (int32_t s = 0; s < kSlots; ++s) _mm_prefetch(ahead + 64 * s, _MM_HINT_T0);
    }
    if (within + 8 <= kSlotChunk && i + 8 <= n) {
      estimate<Wide, R, kFullFit>(chunk + within, slots, threshold, out + i);
      i += 8;
    } else {
      estimate<Narrow, R, kFullFit>(chunk + within, slots, threshold, out + i);
      i += 4;
    }
  }
}

}  // namespace

void fill_temporal_kernels_avx2(TemporalKernel entries[kTemporalKernelEntries]) {
  entries[0] = temporal_estimate_avx2<1, true>;
  entries[1] = temporal_estimate_avx2<2, true>;
  entries[2] = temporal_estimate_avx2<3, true>;
  entries[3] = temporal_estimate_avx2<4, true>;
  entries[4] = temporal_estimate_avx2<1, false>;
  entries[5] = temporal_estimate_avx2<2, false>;
  entries[6] = temporal_estimate_avx2<3, false>;
  entries[7] = temporal_estimate_avx2<4, false>;
}
