#pragma once
// Block noise reduction: 3x3 patch matching of luma against the eight
// neighbouring patches; chroma passes through.
#include <cstdint>

#include "engine/pixel.h"

struct BlockNrJob {
  const PIXEL_YC* src = nullptr;  // read only, rows of `stride` pixels
  PIXEL_YC* dst = nullptr;        // ycp_edit, same stride
  int32_t stride = 0;
  int32_t w = 0;                  // padded width
  int32_t h = 0;                  // padded height
  int32_t field_count = 1;        // 1 or 2
  int32_t t1 = 0;
  int32_t t2 = 0;
  bool anime = false;
  // SimdLevel of the processor: at 2 a 32-bit build may use the vector form
  // (x86-64 builds always may). Every form gives the same result.
  int32_t simd_level = 1;
};

// Writes rows [y0, y1) of dst completely (columns 0 .. w-1), with the
// fastest form this build and simd_level allow.
void block_nr_rows(const BlockNrJob& job, int32_t y0, int32_t y1);

// The plain form, one pixel at a time: the reference for the others.
void block_nr_rows_c(const BlockNrJob& job, int32_t y0, int32_t y1);
