#pragma once
// Level-2 vector form of the block noise reduction's luma filter (SSE2
// integer instructions; see engine/x86/sse2_forms.h) for a run of pixels
// of one row, eight pixels per step. Bit-identical to the plain per-pixel form
// (prefilter/block_nr.cpp) wherever it reports success.
#include <cstdint>

// The thresholds of a job: T1 and T2, the reduced pair T1 / 5 and T2 / 5 for
// pixels in the skin-tone box, and whether the box applies (not in anime
// mode). All four thresholds lie in -32768 .. 32767.
struct BlockNrThresholds {
  int16_t t1, t2;
  int16_t skin_t1, skin_t2;
  bool skin_tones;
};

// Filtered luma of the `count` (>= 8) consecutive interior pixels of one row.
// rows[r] (r = 0..4) points at the luma of the first pixel's column in frame
// row y + (r - 2) f and is readable at indices -2 .. count + 1; cb and cr hold
// the chroma of the row's pixels themselves (indices 0 .. count - 1), which
// the skin-tone test reads. Returns false and writes nothing when the luma of
// the five rows spans more than 32767, where the 16-bit differences of this
// form would overflow.
bool block_nr_luma_sse3(const int16_t* const rows[5], const int16_t* cb, const int16_t* cr,
                        const BlockNrThresholds& thresholds, int32_t count, int16_t* out);
