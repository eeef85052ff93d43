#pragma once
// Byte shuffles that lay eight host pixels (24 16-bit samples, three 128-bit
// vectors) out from vectors of their samples, shared by the sample
// conversion and the warp. Pixel x of a pair-sharing row is
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

#if defined(__x86_64__)
#include <immintrin.h>

__attribute__((target("avx2"))) inline void load_masks(const std::array<ShuffleBytes, 3>& bytes,
                                                       __m128i mask[3]) {
  for (int v = 0; v < 3; ++v) {
    mask[v] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes[v].b));
  }
}
#endif
