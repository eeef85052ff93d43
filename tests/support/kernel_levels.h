#pragma once
// The kernel levels a test can run here, and the plain reference of each.
#include <string>
#include <vector>

#include "engine/engine_kernels.h"

// The levels this processor, its operating system and this build run,
// lowest first; plain is always among them.
std::vector<KernelLevel> runnable_kernel_levels();

// The levels above those, by name ("avx2", "sse3 avx2", ...), for the note a
// test prints about what it skipped; empty when it skipped none.
std::string skipped_kernel_levels();

// The plain forms of the arithmetic `level` computes: the reference its
// forms are compared with bit for bit. For the levels of the D4 level-2
// arithmetic (SSE3, AVX2) analysis, odd low-pass and the analysis row kernel
// are the plain level-2 forms; everything else is the plain level's table.
EngineKernels plain_reference(KernelLevel level);

// The table of the highest level run here, which the module uses.
const EngineKernels& highest_kernels();

// A table that computes D4 arithmetic 1 or 2, for tests of the passes rather
// than of the forms: the SSE level's table for 1, the SSE3 level's for 2 (each
// no higher than the highest level run here).
const EngineKernels& arithmetic_kernels(int arithmetic);

// Prints "[ SKIPPED  ] <what>: <levels>" when levels were skipped.
void note_skipped_levels(const std::string& what);
