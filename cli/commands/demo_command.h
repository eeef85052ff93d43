#pragma once
// `quietloom demo [DIR]`: writes the built-in clean and noisy clips, denoises
// the noisy one at the module's default settings, and reports PSNR and SSIM
// against the clean clip before and after, with a preview PNG.
#include <cstdio>

#include "cli/options.h"

void run_demo(const DemoOptions& options, std::FILE* out);
