#include "engine/chroma_gather.h"

#include <cstddef>

namespace {

// The block's lines of one or both planes (a null output is skipped), row
// by row: the kChromaGatherColumns pixels of a row lie close together.
void gather(const PIXEL_YC* first, int32_t count, int32_t top_pad, int32_t bottom_pad,
            int32_t step, float* cb_out, float* cr_out, int32_t line_stride,
            const ChromaAdjustment& adjustment) {
  float* cb = cb_out ? cb_out + top_pad : nullptr;
  float* cr = cr_out ? cr_out + top_pad : nullptr;
  const PIXEL_YC* row = first;
  for (int32_t i = 0; i < count; ++i, row += step) {
    for (int32_t c = 0; c < kChromaGatherColumns; ++c) {
      const PIXEL_YC& pixel = row[2 * c];
      const ptrdiff_t at = static_cast<ptrdiff_t>(c) * line_stride + i;
      if (cb) cb[at] = adjusted_cb(pixel, adjustment);
      if (cr) cr[at] = adjusted_cr(pixel, adjustment);
    }
  }
  // The pads repeat the first and the last gathered values.
  if (cb) pad_gathered_lines(cb, count, top_pad, bottom_pad, line_stride);
  if (cr) pad_gathered_lines(cr, count, top_pad, bottom_pad, line_stride);
}

}  // namespace

void gather_chroma_columns_c(const PIXEL_YC* first, int32_t count, int32_t top_pad,
                             int32_t bottom_pad, int32_t step, float* cb_out, float* cr_out,
                             int32_t line_stride, const ChromaAdjustment& adjustment) {
  gather(first, count, top_pad, bottom_pad, step, cb_out, cr_out, line_stride, adjustment);
}

void gather_cb_columns_c(const PIXEL_YC* first, int32_t count, int32_t top_pad,
                         int32_t bottom_pad, int32_t step, float* cb_out, int32_t line_stride,
                         const ChromaAdjustment& adjustment) {
  gather(first, count, top_pad, bottom_pad, step, cb_out, nullptr, line_stride, adjustment);
}

void gather_cr_columns_c(const PIXEL_YC* first, int32_t count, int32_t top_pad,
                         int32_t bottom_pad, int32_t step, float* cr_out, int32_t line_stride,
                         const ChromaAdjustment& adjustment) {
  gather(first, count, top_pad, bottom_pad, step, nullptr, cr_out, line_stride, adjustment);
}
