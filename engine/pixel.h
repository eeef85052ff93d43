#pragma once
// One pixel of the host's frames: luma and two chroma samples, signed 16-bit,
// in the host's units (luma 0..4096 nominal, chroma -2048..2048 nominal).
#include <cstdint>

struct PIXEL_YC {
  int16_t y;
  int16_t cb;
  int16_t cr;
};
static_assert(sizeof(PIXEL_YC) == 6, "the host's pixel is three packed int16");
