#pragma once
// The AVX2 forms of the temporal kernels (x86-64 only), each bit-identical
// to the plain form of the same window length and fit (see
// engine/temporal_kernels.h).
#include "engine/temporal_kernels.h"

// Writes them into the eight entries.
void fill_temporal_kernels_avx2(TemporalKernel entries[kTemporalKernelEntries]);
