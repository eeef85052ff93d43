#pragma once
// Which level of kernel forms the module runs at: by default the highest that
// the processor, the operating system and this build allow. The command-line
// tool, the tests and the benchmarks may ask for a lower one; the host has no
// setting for it.
#include "engine/engine_kernels.h"

// The highest level allowed here.
KernelLevel highest_kernel_level();

// Runs the module at `level` from now on: fills the module's kernel table at
// once and again at every func_init. Returns false, and changes nothing, when
// the level is above highest_kernel_level().
bool select_kernel_level(KernelLevel level);

// Back to the highest level.
void select_highest_kernel_level();

// The level the module's kernel table is filled for.
KernelLevel selected_kernel_level();
