#pragma once
// Level-2 vector form of the mosquito noise reduction's luma filter (SSE2
// integer instructions; see engine/x86/sse2_forms.h) for a run of
// pixels of one row, eight pixels per step. Bit-identical to the plain per-pixel
// form (prefilter/mosquito_nr.cpp) wherever it reports success.
#include <cstdint>

// The rows around the run, each pointing at the luma of the run's first
// pixel's column and readable at indices -2 .. count + 1.
struct MosquitoRows {
  const int16_t* cur[5];   // current frame, rows y - 2 .. y + 2
  const int16_t* prev[3];  // previous frame, rows y - f, y, y + f
  const int16_t* next[3];  // next frame, rows y - f, y, y + f
  int32_t field_count;     // f: 1 or 2
};

// Filtered luma of the `count` (>= 8) consecutive interior pixels of one row;
// best_cost is the starting cost 2 x T3. Returns false and writes nothing when
// the luma of the rows spans more than kMosquitoVectorSpan, where the 16-bit
// costs of this form could overflow.
constexpr int32_t kMosquitoVectorSpan = 10000;
bool mosquito_nr_luma_sse3(const MosquitoRows& rows, int32_t best_cost, int32_t count,
                           int16_t* out);
