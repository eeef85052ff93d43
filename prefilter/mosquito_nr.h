#pragma once
// Mosquito noise reduction: each luma sample is averaged along the flattest of
// eighteen three-sample lines through space and time; chroma passes through.
#include <cstdint>

#include "engine/engine_kernels.h"
#include "engine/pixel.h"

struct MosquitoNrJob {
  const PIXEL_YC* cur = nullptr;   // read only; the three may coincide
  const PIXEL_YC* prev = nullptr;  // nullptr: the current frame stands in
  const PIXEL_YC* next = nullptr;
  PIXEL_YC* dst = nullptr;         // ycp_temp, same stride
  int32_t stride = 0;
  int32_t w = 0;                   // padded width, at most kPreStageMaxWidth
  int32_t h = 0;                   // padded height
  int32_t field_count = 1;         // 1 or 2
  int32_t t3 = 0;
  const EngineKernels* kernels = nullptr;  // the row kernel's form
};

// Writes rows [y0, y1) of dst completely (columns 0 .. w-1); 0 <= y0 <= y1 <= h.
void mosquito_nr_rows(const MosquitoNrJob& job, int32_t y0, int32_t y1);
