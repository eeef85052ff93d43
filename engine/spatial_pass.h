#pragma once
// Spatial decomposition of one prepared window frame into one slot of the slot
// planes: luma one vertical level (optionally through three cored dual-phase
// levels folded back) and three horizontal dual-phase levels; each chroma plane
// (even pixel columns, gains and hue rotation applied on the way) three
// vertical dual-phase levels; optional coring of small smooth details.
#include <cstdint>

#include "engine/engine_kernels.h"
#include "engine/filter_parameters.h"
#include "engine/pixel.h"
#include "engine/work_planes.h"

struct SpatialJob {
  const PIXEL_YC* src = nullptr;  // prepared frame, rows of `stride` pixels
  int32_t stride = 0;             // max_w
  int32_t w = 0;                  // padded width (multiple of 16)
  int32_t h = 0;                  // padded height (multiple of 16)
  int32_t slot = 0;               // 0 .. N-1
  const EngineKernels* kernels = nullptr;  // the kernel forms
  const FilterParameters* params = nullptr;
  const WorkPlanes* planes = nullptr;
};

// Runs the share of worker thread_id of thread_num: worker 0 luma; chroma on
// worker 0 (1 worker), worker 1 (2 workers, Cb and Cr together), workers 1
// and 2 (3 workers), workers 2 and 3 (4 or more; the others idle).
void spatial_pass_worker(int thread_id, int thread_num, const SpatialJob& job);

void luma_spatial_pass(const SpatialJob& job);
void chroma_spatial_pass(const SpatialJob& job);  // Cb and Cr together
void cb_spatial_pass(const SpatialJob& job);
void cr_spatial_pass(const SpatialJob& job);
