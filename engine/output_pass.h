#pragma once
// Conversion of the finished planes into PIXEL_YC rows of the destination
// frame: luma gain and offset, optional chroma gamma curve, frame or field
// placement, each chroma sample repeated for its two pixels.
#include <cstdint>

#include "engine/engine_kernels.h"
#include "engine/pixel.h"
#include "engine/work_planes.h"

struct OutputJob {
  PIXEL_YC* dst = nullptr;   // ycp_edit
  int32_t stride = 0;        // max_w
  int32_t w = 0;             // padded width
  int32_t h = 0;             // padded height
  bool field_mode = false;
  bool chroma_gamma = false;
  float gain_y = 1;
  float offset_y = 0;
  const int16_t* gamma_lut = nullptr;
  const WorkPlanes* planes = nullptr;
  const EngineKernels* kernels = nullptr;  // the kernel forms
};

// The work split per worker count (halves, parts, row ranges).
void output_pass_worker(int thread_id, int thread_num, const OutputJob& job);

// Converts rows r in [start, end/2) of half `half`, using PartLineBuffers[part].
void output_rows(const OutputJob& job, int half, int part, int start, int end);
