#pragma once
// SSE2 form of the block noise reduction's row kernel (see
// prefilter/block_nr_kernels.h), eight pixels per step. Bit-identical to the
// plain form, to which it hands the runs it cannot do exactly in 16 bits.
#include <cstdint>

#include "prefilter/block_nr_kernels.h"

// Whether the form computes a run itself rather than handing it to the plain
// form: thresholds within 16 bits, at least eight pixels, and the luma of the
// five rows spanning at most 32767.
bool block_nr_sse2_takes(const int16_t* const rows[5], const BlockNrThresholds& thresholds,
                         int32_t count);

void block_nr_luma_sse2(const int16_t* const rows[5], const int16_t* cb, const int16_t* cr,
                        const BlockNrThresholds& thresholds, int32_t count, int16_t* out);
