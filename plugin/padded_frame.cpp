#include "plugin/padded_frame.h"

#include <cstring>

int32_t mirror_index(int64_t i, int32_t n) {
  if (n <= 1) return 0;
  const int64_t period = 2 * static_cast<int64_t>(n) - 2;
  int64_t r = i % period;
  if (r < 0) r += period;
  if (r >= n) r = period - r;
  return static_cast<int32_t>(r);
}

void pad_rows_in_place(PIXEL_YC* frame, int32_t stride, int32_t w, int32_t h, int32_t padded_h) {
  for (int32_t row = h; row < padded_h; ++row) {
    const int32_t from = mirror_index(row, h);
    std::memmove(frame + static_cast<int64_t>(row) * stride,
                 frame + static_cast<int64_t>(from) * stride, sizeof(PIXEL_YC) * w);
  }
}

void copy_padded(const PIXEL_YC* src, PIXEL_YC* dst, int32_t stride, int32_t w, int32_t h,
                 int32_t padded_w, int32_t padded_h) {
  for (int32_t row = 0; row < padded_h; ++row) {
    const int32_t from = row < h ? row : mirror_index(row, h);
    const PIXEL_YC* in = src + static_cast<int64_t>(from) * stride;
    PIXEL_YC* out = dst + static_cast<int64_t>(row) * stride;
    std::memcpy(out, in, sizeof(PIXEL_YC) * w);
    for (int32_t x = w; x < padded_w; ++x) out[x] = in[mirror_index(x, w)];
  }
}
