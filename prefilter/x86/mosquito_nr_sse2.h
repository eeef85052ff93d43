#pragma once
// SSE2 form of the mosquito noise reduction's row kernel (see
// prefilter/mosquito_nr_kernels.h), eight pixels per step. Bit-identical to
// the plain form, to which it hands the runs it cannot do exactly in 16 bits.
#include <cstdint>

#include "prefilter/mosquito_nr_kernels.h"

// The largest luma span over the rows of a run that this form computes
// itself: every cost then stays below 32767.
constexpr int32_t kMosquitoVectorSpan = 10000;

// Whether the form computes a run itself rather than handing it to the plain
// form: at least eight pixels, and the luma of its rows spanning at most
// kMosquitoVectorSpan.
bool mosquito_nr_sse2_takes(const MosquitoRows& rows, int32_t count);

void mosquito_nr_luma_sse2(const MosquitoRows& rows, int32_t best_cost, int32_t count,
                           int16_t* out);
