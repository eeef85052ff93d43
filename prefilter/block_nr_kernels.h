#pragma once
// The block noise reduction's row kernel: the filtered luma of a run of
// consecutive interior pixels of one row, from the luma of the five rows
// around it gathered into 16-bit lines. Every form (the plain one below, the
// vector forms in prefilter/x86/) gives the same results bit for bit, for
// every input.
#include <cstdint>

struct BlockNrThresholds {
  int32_t t1 = 0;
  int32_t t2 = 0;
  // Skin tones get T1 / 5 and T2 / 5 (not in anime mode).
  bool skin_tones = true;
};

// rows[r] (r = 0..4) points at the luma of the run's first pixel in frame row
// y + (r - 2) f and is readable at indices -2 .. count + 1; cb and cr hold the
// chroma of the run's own pixels (indices 0 .. count - 1), which the
// skin-tone test reads. Writes out[0 .. count); count >= 1.
using BlockNrLumaKernel = void (*)(const int16_t* const rows[5], const int16_t* cb,
                                   const int16_t* cr, const BlockNrThresholds& thresholds,
                                   int32_t count, int16_t* out);

// The plain form, one pixel at a time: the reference for the others.
void block_nr_luma_c(const int16_t* const rows[5], const int16_t* cb, const int16_t* cr,
                     const BlockNrThresholds& thresholds, int32_t count, int16_t* out);
