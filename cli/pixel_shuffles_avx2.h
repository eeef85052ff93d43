#pragma once
// Byte shuffles that lay eight host pixels (24 16-bit samples, three 128-bit
// vectors) out from vectors of their samples, and take them apart again,
// shared by the sample conversion and the warp. Pixel x of a pair-sharing row is
// (y_x, cb_{x/2}, cr_{x/2}); the luma vector holds y_0 .. y_7 and the chroma
// vector [cb0 cr0 cb1 cr1 cb2 cr2 cb3 cr3].
#include <array>
#include <cstdint>

// The 24 16-bit slots of eight pixels, each the luma of pixel i (source i)
// or a chroma sample (source 8 + j, with Cb of pair p at j = 2p and Cr at
// j = 2p + 1).
constexpr int kSlotSource[24] = {0,  8,  9,  1,  8,  9,  2,  10, 11, 3,  10, 11,
                                 4,  12, 13, 5,  12, 13, 6,  14, 15, 7,  14, 15};

// A byte shuffle's control bytes; -1 bytes give zero.
struct ShuffleBytes {
  int8_t b[16];
};

// The shuffle that fills output vector v (slots 8v .. 8v + 7) from the luma
// vector (chroma false) or the chroma vector; -1 bytes leave a slot to the
// other.
constexpr ShuffleBytes interleave_bytes(int v, bool chroma) {
  ShuffleBytes m{};
  for (int slot = 0; slot < 8; ++slot) {
    const int source = kSlotSource[8 * v + slot];
    const bool take = (source >= 8) == chroma;
    const int index = source % 8;
    m.b[2 * slot] = take ? static_cast<int8_t>(2 * index) : -1;
    m.b[2 * slot + 1] = take ? static_cast<int8_t>(2 * index + 1) : -1;
  }
  return m;
}

template <typename Make>
constexpr std::array<ShuffleBytes, 3> three(Make make) {
  return {make(0), make(1), make(2)};
}

constexpr auto kInterleaveLuma = three([](int v) { return interleave_bytes(v, false); });
constexpr auto kInterleaveChroma = three([](int v) { return interleave_bytes(v, true); });

// The other way: the shuffle that takes from input vector v (slots 8v ..
// 8v + 7 of eight pixels, slot 3i + c channel c of pixel i) the slots
// `wanted` lists, lane by lane; -1 where v holds none of them.
constexpr ShuffleBytes take_bytes(int v, const std::array<int, 8>& wanted) {
  ShuffleBytes m{};
  for (int lane = 0; lane < 8; ++lane) {
    const bool here = wanted[size_t(lane)] / 8 == v;
    const int slot = wanted[size_t(lane)] % 8;
    m.b[2 * lane] = here ? static_cast<int8_t>(2 * slot) : -1;
    m.b[2 * lane + 1] = here ? static_cast<int8_t>(2 * slot + 1) : -1;
  }
  return m;
}

constexpr std::array<ShuffleBytes, 3> taking(const std::array<int, 8>& wanted) {
  return {take_bytes(0, wanted), take_bytes(1, wanted), take_bytes(2, wanted)};
}

constexpr auto kTakeLuma = taking({0, 3, 6, 9, 12, 15, 18, 21});

#if defined(__x86_64__)
#include <immintrin.h>

// The eight 16-bit values the three masks pick from the three input vectors.
__attribute__((target("avx2"))) inline __m128i pick(const __m128i part[3], const __m128i mask[3]) {
  return _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(part[0], mask[0]), _mm_shuffle_epi8(part[1], mask[1])),
                      _mm_shuffle_epi8(part[2], mask[2]));
}

__attribute__((target("avx2"))) inline void load_masks(const std::array<ShuffleBytes, 3>& bytes,
                                                       __m128i mask[3]) {
  for (int v = 0; v < 3; ++v) {
    mask[v] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes[v].b));
  }
}
#endif
