#pragma once
// Three-level dual-phase D4 decomposition of one line, and its fold-back to a
// single level.
//
// Every level is computed at two sampling phases. Set B (line Y) holds, per
// level, d4_analysis of the level's input; set A (line X) holds d4_analysis of
// d4_odd_upsample of set B's low band, i.e. the same level re-analysed one
// sample later; set A's low band is the next level's input. After three levels
// both lines are in the band layout of a line of n samples: [0, n/8) coarsest
// low band, [n/8, n/4) level 3, [n/4, n/2) level 2, [n/2, n) level 1.
// With coring on, each level's detail bands [L/2, L) of X and Y are cored
// right after they are computed. Low bands are never cored, so the coring of
// one level does not change the input of the next.
//
// Lines are 16-byte aligned floats; n is a multiple of 32 and at least 64, so
// that every kernel call meets the kernels' length rules (the engine's lines
// are 512 samples or longer).
#include <cstdint>

#include "engine/engine_kernels.h"
#include "engine/spatial_coring.h"

// x is the input line; it may be the same line as X (it is consumed by the
// first analysis). Z is scratch. All lines hold n floats.
void dual_phase_decompose(const float* x, int32_t n, float* X, float* Y, float* Z,
                          const CoringSettings& coring, const EngineKernels& kernels);

// Folds a three-level dual-phase decomposition (set A in X, set B in Y) back
// to one even-phase level in Y: low band [0, n/2), level-1 detail [n/2, n).
// Level by level from the coarsest: synthesise set A's pair, take the odd-phase
// low band of it (set B's low band of that level, with set A's coring folded
// in), synthesise that with set B's detail into the next finer level's input.
// X and Z are overwritten. Without coring the result equals d4_analysis of the
// original line up to rounding.
void dual_phase_fold_back(float* X, float* Y, float* Z, int32_t n, const EngineKernels& kernels);
