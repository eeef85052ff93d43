#pragma once
// The one table of kernel forms. Every kernel the passes and the pre-stages
// call is reached through an EngineKernels: nothing else chooses a form.
//
// A table is filled for one level: first with the plain forms, then each
// level up to the one asked for overrides the entries it has a form for
// (plain -> SSE -> SSE3 -> AVX2). What the levels compute:
// - plain and SSE: the D4 line kernels' level-1 arithmetic (sequential sums;
//   the odd low-pass's last four outputs in double);
// - SSE3 and AVX2: their level-2 arithmetic (pairwise sums, all in single);
// - every other kernel has one arithmetic for all levels.
// So a frame comes out bit for bit the same at plain and SSE, and at SSE3 and
// AVX2. A level this build has no forms for (AVX2 outside x86-64 builds,
// anything beyond plain outside x86) adds nothing; the plug-in shell decides
// which level the processor and the operating system allow.
#include <cstdint>

#include "engine/chroma_gather.h"
#include "engine/d4_kernels.h"
#include "engine/d4_row_kernels.h"
#include "engine/luma_widen.h"
#include "engine/output_kernels.h"
#include "engine/temporal_kernels.h"
#include "prefilter/block_nr_kernels.h"
#include "prefilter/mosquito_nr_kernels.h"

enum class KernelLevel : int32_t {
  kPlain = 0,
  kSse = 1,
  kSse3 = 2,  // SSE3 processors also have SSE2, which the pre-stages' forms use
  kAvx2 = 3,  // AVX2 and the operating system's support for its registers
};

// The highest level this build has forms for.
KernelLevel highest_built_kernel_level();

const char* kernel_level_name(KernelLevel level);  // "plain", "sse", "sse3", "avx2"

struct EngineKernels {
  KernelLevel level = KernelLevel::kPlain;  // the highest level whose forms it holds

  // D4 line kernels (engine/d4_kernels.h).
  D4Kernel analysis = nullptr;
  D4Kernel synthesis = nullptr;
  D4Kernel odd_lowpass = nullptr;
  D4Kernel odd_upsample = nullptr;
  // D4 steps along columns, a row of columns at a time (engine/d4_row_kernels.h).
  D4AnalysisRowKernel analysis_rows = nullptr;
  D4SynthesisRowKernel synthesis_rows = nullptr;
  // Temporal estimates by temporal_kernel_entry (engine/temporal_kernels.h).
  TemporalKernel temporal[kTemporalKernelEntries] = {};
  // The luma of one frame row as floats (engine/luma_widen.h).
  LumaWidenKernel widen_luma = nullptr;
  // The chroma of a block of columns, colour-adjusted (engine/chroma_gather.h).
  ChromaGatherKernel gather_chroma = nullptr;
  PlaneGatherKernel gather_cb = nullptr;
  PlaneGatherKernel gather_cr = nullptr;
  // One output row (engine/output_kernels.h).
  OutputRowKernel output_row = nullptr;
  // Pre-stage row kernels.
  BlockNrLumaKernel block_nr_luma = nullptr;
  MosquitoNrLumaKernel mosquito_nr_luma = nullptr;
};

// The table of `level` as far as this build has forms for it.
EngineKernels engine_kernels(KernelLevel level);
