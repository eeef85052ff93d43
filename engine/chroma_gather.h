#pragma once
// Gathering of chroma columns of a frame into float lines, with the colour
// adjustment applied on the way (single precision, in this order):
//   Cb' = ((cb * gain_cb) * hue_cos) - ((cr * gain_cr) * hue_sin)
//   Cr' = ((cb * gain_cb) * hue_sin) + ((cr * gain_cr) * hue_cos)
// A gather takes a block of kChromaGatherColumns columns side by side: chroma
// column c of the block is pixel column 2c from `first` (the chroma of 4:2:2
// lies on the even pixels), and goes to the line at out + c * line_stride.
// Each line is top_pad copies of the first gathered pixel's value, the
// `count` gathered values, then bottom_pad copies of the last one. Pixels
// are `step` pixels apart down a column (the frame stride, or twice it for
// one field). All counts are multiples of 4 and count is at least 1.
//
// A block rather than one column at a time: the frame is then read a row
// segment at a time, where a single column would touch a new cache line
// (and page) for every sample.
#include <cstdint>

#include "engine/pixel.h"

struct ChromaAdjustment {
  float gain_cb = 1;
  float gain_cr = 1;
  float hue_sin = 0;
  float hue_cos = 1;
};

constexpr int32_t kChromaGatherColumns = 8;

// One pixel's Cb and Cr after the gains and the hue rotation, products and
// sums in this order in every form. (Plain functions: the vector forms,
// each compiled for its own instruction set, inline them.)
inline float adjusted_cb(const PIXEL_YC& pixel, const ChromaAdjustment& a) {
  const float cb = static_cast<float>(pixel.cb) * a.gain_cb;
  const float cr = static_cast<float>(pixel.cr) * a.gain_cr;
  return (cb * a.hue_cos) - (cr * a.hue_sin);
}

inline float adjusted_cr(const PIXEL_YC& pixel, const ChromaAdjustment& a) {
  const float cb = static_cast<float>(pixel.cb) * a.gain_cb;
  const float cr = static_cast<float>(pixel.cr) * a.gain_cr;
  return (cb * a.hue_sin) + (cr * a.hue_cos);
}

// Fills the pads of a block's lines from their gathered values: top_pad
// copies of the first before it, bottom_pad copies of the last after it.
// `gathered` is the first line's first gathered value.
inline void pad_gathered_lines(float* gathered, int32_t count, int32_t top_pad,
                               int32_t bottom_pad, int32_t line_stride) {
  for (int32_t c = 0; c < kChromaGatherColumns; ++c) {
    float* line = gathered + static_cast<int64_t>(c) * line_stride;
    const float top = line[0];
    const float bottom = line[count - 1];
    for (int32_t j = 1; j <= top_pad; ++j) line[-j] = top;
    for (int32_t j = 0; j < bottom_pad; ++j) line[count + j] = bottom;
  }
}

// Both planes at once.
using ChromaGatherKernel = void (*)(const PIXEL_YC* first, int32_t count, int32_t top_pad,
                                    int32_t bottom_pad, int32_t step, float* cb_out,
                                    float* cr_out, int32_t line_stride,
                                    const ChromaAdjustment& adjustment);
// One plane only; the values equal those of the two-plane gather.
using PlaneGatherKernel = void (*)(const PIXEL_YC* first, int32_t count, int32_t top_pad,
                                   int32_t bottom_pad, int32_t step, float* out,
                                   int32_t line_stride, const ChromaAdjustment& adjustment);

// The plain forms: the reference for the others (the kernel table holds the
// forms each level uses). Every form gives the same bits.
void gather_chroma_columns_c(const PIXEL_YC* first, int32_t count, int32_t top_pad,
                             int32_t bottom_pad, int32_t step, float* cb_out, float* cr_out,
                             int32_t line_stride, const ChromaAdjustment& adjustment);
void gather_cb_columns_c(const PIXEL_YC* first, int32_t count, int32_t top_pad,
                         int32_t bottom_pad, int32_t step, float* cb_out, int32_t line_stride,
                         const ChromaAdjustment& adjustment);
void gather_cr_columns_c(const PIXEL_YC* first, int32_t count, int32_t top_pad,
                         int32_t bottom_pad, int32_t step, float* cr_out, int32_t line_stride,
                         const ChromaAdjustment& adjustment);
