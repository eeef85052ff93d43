#include "engine/luma_widen.h"

void widen_luma_c(const PIXEL_YC* row, int32_t n, float* out) {
  for (int32_t x = 0; x < n; ++x) out[x] = row[x].y;
}
