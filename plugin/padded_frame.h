#pragma once
// Mirroring into a range and padded private copies of host frames.
#include <cstdint>

#include "engine/pixel.h"

// Reflects i into [0, n) about the ends without repeating the end samples
// (n + k -> n - 2 - k, -k -> k), again and again until it lands: the period
// is 2n - 2, and for n = 1 every position maps to 0.
int32_t mirror_index(int64_t i, int32_t n);

// Copies the w x h picture of src into dst (both rows `stride` pixels apart)
// and fills rows h .. padded_h - 1 and columns w .. padded_w - 1 by mirroring,
// rows first, so the padding never holds stale data.
void copy_padded(const PIXEL_YC* src, PIXEL_YC* dst, int32_t stride, int32_t w, int32_t h,
                 int32_t padded_w, int32_t padded_h);

// Fills rows h .. padded_h - 1 of frame with mirrored copies of its first w
// pixels (the frame is written in place).
void pad_rows_in_place(PIXEL_YC* frame, int32_t stride, int32_t w, int32_t h, int32_t padded_h);
