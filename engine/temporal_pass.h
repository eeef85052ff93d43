#pragma once
// Temporal estimation of the current frame's coefficients over the window and
// synthesis back into LumaWorkPlane (rows, then columns) and the 16-bit chroma
// output planes.
#include <cstdint>

#include "engine/engine_kernels.h"
#include "engine/filter_parameters.h"
#include "engine/work_planes.h"

struct TemporalJob {
  int32_t frame = 0;        // the current frame number (selects the slots)
  const EngineKernels* kernels = nullptr;  // the kernel forms
  const FilterParameters* params = nullptr;
  const WorkPlanes* planes = nullptr;
};

// Worker 0 luma (rows, then columns); Cb on worker c and Cr on worker b with
// (c, b) = (0, 0), (1, 1), (1, 2), (2, 3) for 1, 2, 3, >= 4 workers.
void temporal_pass_worker(int thread_id, int thread_num, const TemporalJob& job);
