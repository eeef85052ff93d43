#pragma once
// The mosquito noise reduction's row kernel: the filtered luma of a run of
// consecutive interior pixels of one row, from the luma of the rows around it
// in the current, previous and next frames, gathered into 16-bit lines.
// Every form (the plain one below, the vector forms in prefilter/x86/) gives
// the same results bit for bit, for every input.
#include <cstdint>

// Each row points at the luma of the run's first pixel's column and is
// readable at indices -2 .. count + 1.
struct MosquitoRows {
  const int16_t* cur[5];   // current frame, rows y - 2 .. y + 2
  const int16_t* prev[3];  // previous frame, rows y - f, y, y + f
  const int16_t* next[3];  // next frame, rows y - f, y, y + f
  int32_t field_count;     // f: 1 or 2
};

// best_cost is the starting cost 2 x T3 (clamped to the 32-bit range).
// Writes out[0 .. count); count >= 1.
using MosquitoNrLumaKernel = void (*)(const MosquitoRows& rows, int32_t best_cost, int32_t count,
                                      int16_t* out);

// The plain form, one pixel at a time: the reference for the others.
void mosquito_nr_luma_c(const MosquitoRows& rows, int32_t best_cost, int32_t count, int16_t* out);
