#pragma once
// Mosquito noise reduction: each luma sample is averaged along the flattest of
// eighteen three-sample lines through space and time; chroma passes through.
#include <cstdint>

#include "engine/pixel.h"

struct MosquitoNrJob {
  const PIXEL_YC* cur = nullptr;   // read only; the three may coincide
  const PIXEL_YC* prev = nullptr;
  const PIXEL_YC* next = nullptr;
  PIXEL_YC* dst = nullptr;         // ycp_temp, same stride
  int32_t stride = 0;
  int32_t w = 0;                   // padded width
  int32_t h = 0;                   // padded height
  int32_t field_count = 1;         // 1 or 2
  int32_t t3 = 0;
  // SimdLevel of the processor: at 2 a 32-bit build may use the vector form
  // (x86-64 builds always may). Every form gives the same result.
  int32_t simd_level = 1;
};

// Writes rows [y0, y1) of dst completely (columns 0 .. w-1), with the
// fastest form this build and simd_level allow.
void mosquito_nr_rows(const MosquitoNrJob& job, int32_t y0, int32_t y1);

// The plain form, one pixel at a time: the reference for the others.
void mosquito_nr_rows_c(const MosquitoNrJob& job, int32_t y0, int32_t y1);
