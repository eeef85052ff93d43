#pragma once
// Level-2 vector form of the block noise reduction's luma filter (SSE2
// integer instructions; see engine/x86/prefilter_vector.h) for a run of pixels
// of one row, eight pixels per step. Bit-identical to the plain per-pixel form
// (prefilter/block_nr.cpp) wherever it reports success.
#include <cstdint>

// Filtered luma of the `count` (>= 8) consecutive interior pixels of one row.
// rows[r] (r = 0..4) points at the luma of the first pixel's column in frame
// row y + (r - 2) f and is readable at indices -2 .. count + 1. t1[i] and t2[i]
// are pixel i's thresholds (after the skin-tone reduction), t2[i] <= 32767.
// Returns false and writes nothing when the luma of the five rows spans more
// than 32767, where the 16-bit differences of this form would overflow.
bool block_nr_luma_sse3(const int16_t* const rows[5], const int16_t* t1, const int16_t* t2,
                        int32_t count, int16_t* out);
