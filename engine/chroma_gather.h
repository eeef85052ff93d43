#pragma once
// Gathering of one chroma column of a frame into float lines, with the colour
// adjustment applied on the way (single precision, in this order):
//   Cb' = ((cb * gain_cb) * hue_cos) - ((cr * gain_cr) * hue_sin)
//   Cr' = ((cb * gain_cb) * hue_sin) + ((cr * gain_cr) * hue_cos)
// The output is top_pad copies of the first gathered pixel's value, the
// `count` gathered values, then bottom_pad copies of the last one. Pixels are
// `step` pixels apart (the frame stride, or twice it for one field). All
// counts are multiples of 4 and count is at least 1.
#include <cstdint>

#include "engine/pixel.h"

struct ChromaAdjustment {
  float gain_cb = 1;
  float gain_cr = 1;
  float hue_sin = 0;
  float hue_cos = 1;
};

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

// Both planes at once.
using ChromaGatherKernel = void (*)(const PIXEL_YC* first, int32_t count, int32_t top_pad,
                                    int32_t bottom_pad, int32_t step, float* cb_out,
                                    float* cr_out, const ChromaAdjustment& adjustment);
// One plane only; the values equal those of the two-plane gather.
using PlaneGatherKernel = void (*)(const PIXEL_YC* first, int32_t count, int32_t top_pad,
                                   int32_t bottom_pad, int32_t step, float* out,
                                   const ChromaAdjustment& adjustment);

// The plain forms: the reference for the others (the kernel table holds the
// forms each level uses). Every form gives the same bits.
void gather_chroma_column_c(const PIXEL_YC* first, int32_t count, int32_t top_pad,
                            int32_t bottom_pad, int32_t step, float* cb_out, float* cr_out,
                            const ChromaAdjustment& adjustment);
void gather_cb_column_c(const PIXEL_YC* first, int32_t count, int32_t top_pad, int32_t bottom_pad,
                        int32_t step, float* cb_out, const ChromaAdjustment& adjustment);
void gather_cr_column_c(const PIXEL_YC* first, int32_t count, int32_t top_pad, int32_t bottom_pad,
                        int32_t step, float* cr_out, const ChromaAdjustment& adjustment);
