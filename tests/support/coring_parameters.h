#pragma once
// Coring switched on for both planes with the thresholds that W2DY = 10 and
// W2DC = 6 give: mask t = W x 3, 4, 4 and core tc = W x 8, 12, 16 for the
// three levels.
#include "engine/filter_parameters.h"

inline void enable_coring(FilterParameters& p) {
  p.w2dy_on = true;
  p.w2dc_on = true;
  const float luma_mask[3] = {30, 40, 40}, luma_core[3] = {80, 120, 160};
  const float chroma_mask[3] = {18, 24, 24}, chroma_core[3] = {48, 72, 96};
  for (int j = 0; j < 3; ++j) {
    p.w2dy_mask_threshold[j] = luma_mask[j];
    p.w2dy_core_threshold[j] = luma_core[j];
    p.w2dc_mask_threshold[j] = chroma_mask[j];
    p.w2dc_core_threshold[j] = chroma_core[j];
  }
}
