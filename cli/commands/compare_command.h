#pragma once
// `quietloom compare A B`: PSNR and SSIM per plane and overall between two
// clips of the same kind and geometry. YUV4MPEG2 clips are compared in their
// samples (peak 2^b - 1, chroma at its own resolution), raw host frames in
// host units (peak 4096, chroma per pixel).
#include <cstdio>

#include "cli/options.h"
#include "cli/quality_metrics.h"

struct CompareResult {
  int64_t frames = 0;
  QualityMetrics metrics{1};
};

// Throws ToolError on unreadable or mismatched clips. Clips of different
// lengths are compared over the frames they share, with a warning on `err`.
CompareResult compare_clips(const CompareOptions& options, std::FILE* err);

// Prints the table of a comparison.
void print_comparison(const CompareResult& result, std::FILE* out);

// "inf" for identical planes, else two decimals.
std::string format_psnr(double psnr);
