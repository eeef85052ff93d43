#pragma once
// Block noise reduction: 3x3 patch matching of luma against the eight
// neighbouring patches; chroma passes through.
#include <cstdint>

#include "engine/engine_kernels.h"
#include "engine/pixel.h"

struct BlockNrJob {
  const PIXEL_YC* src = nullptr;  // read only, rows of `stride` pixels
  PIXEL_YC* dst = nullptr;        // ycp_edit, same stride
  int32_t stride = 0;
  int32_t w = 0;                  // padded width, at most kPreStageMaxWidth
  int32_t h = 0;                  // padded height
  int32_t field_count = 1;        // 1 or 2
  int32_t t1 = 0;
  int32_t t2 = 0;
  bool anime = false;
  const EngineKernels* kernels = nullptr;  // the row kernel's form
};

// Writes rows [y0, y1) of dst completely (columns 0 .. w-1); 0 <= y0 <= y1 <= h.
void block_nr_rows(const BlockNrJob& job, int32_t y0, int32_t y1);
