#include "engine/chroma_gather.h"

namespace {

// Writes the padded column of one plane; `adjust` maps a pixel to its value.
template <typename Adjust>
void gather_plane(const PIXEL_YC* first, int32_t count, int32_t top_pad, int32_t bottom_pad,
                  int32_t step, float* out, Adjust adjust) {
  const float top = adjust(first[0]);
  for (int32_t i = 0; i < top_pad; ++i) *out++ = top;
  const PIXEL_YC* pixel = first;
  float value = top;
  for (int32_t i = 0; i < count; ++i, pixel += step) {
    value = adjust(*pixel);
    *out++ = value;
  }
  for (int32_t i = 0; i < bottom_pad; ++i) *out++ = value;
}

}  // namespace

void gather_chroma_column_c(const PIXEL_YC* first, int32_t count, int32_t top_pad,
                          int32_t bottom_pad, int32_t step, float* cb_out, float* cr_out,
                          const ChromaAdjustment& adjustment) {
  // One walk down the column for both planes: the pixels are far apart.
  const float top_cb = adjusted_cb(first[0], adjustment);
  const float top_cr = adjusted_cr(first[0], adjustment);
  for (int32_t i = 0; i < top_pad; ++i) {
    *cb_out++ = top_cb;
    *cr_out++ = top_cr;
  }
  const PIXEL_YC* pixel = first;
  float cb = top_cb;
  float cr = top_cr;
  for (int32_t i = 0; i < count; ++i, pixel += step) {
    cb = adjusted_cb(*pixel, adjustment);
    cr = adjusted_cr(*pixel, adjustment);
    *cb_out++ = cb;
    *cr_out++ = cr;
  }
  for (int32_t i = 0; i < bottom_pad; ++i) {
    *cb_out++ = cb;
    *cr_out++ = cr;
  }
}

void gather_cb_column_c(const PIXEL_YC* first, int32_t count, int32_t top_pad, int32_t bottom_pad,
                      int32_t step, float* cb_out, const ChromaAdjustment& adjustment) {
  gather_plane(first, count, top_pad, bottom_pad, step, cb_out,
               [&](const PIXEL_YC& p) { return adjusted_cb(p, adjustment); });
}

void gather_cr_column_c(const PIXEL_YC* first, int32_t count, int32_t top_pad, int32_t bottom_pad,
                      int32_t step, float* cr_out, const ChromaAdjustment& adjustment) {
  gather_plane(first, count, top_pad, bottom_pad, step, cr_out,
               [&](const PIXEL_YC& p) { return adjusted_cr(p, adjustment); });
}
