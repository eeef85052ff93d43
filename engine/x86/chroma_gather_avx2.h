#pragma once
// AVX2 forms of the chroma column gathers (x86-64 only), bit-identical to
// the plain forms of engine/chroma_gather.h.
#include <cstdint>

#include "engine/chroma_gather.h"

void gather_chroma_columns_avx2(const PIXEL_YC* first, int32_t count, int32_t top_pad,
                                int32_t bottom_pad, int32_t step, float* cb_out, float* cr_out,
                                int32_t line_stride, const ChromaAdjustment& adjustment);
void gather_cb_columns_avx2(const PIXEL_YC* first, int32_t count, int32_t top_pad,
                            int32_t bottom_pad, int32_t step, float* cb_out, int32_t line_stride,
                            const ChromaAdjustment& adjustment);
void gather_cr_columns_avx2(const PIXEL_YC* first, int32_t count, int32_t top_pad,
                            int32_t bottom_pad, int32_t step, float* cr_out, int32_t line_stride,
                            const ChromaAdjustment& adjustment);
