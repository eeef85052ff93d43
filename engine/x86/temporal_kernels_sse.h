#pragma once
// The SSE forms of the temporal kernels (no later instruction set), each
// bit-identical to the plain form of the same window length and fit (see
// engine/temporal_kernels.h).
#include "engine/temporal_kernels.h"

// Writes them into the eight entries.
void fill_temporal_kernels_sse(TemporalKernel entries[kTemporalKernelEntries]);
