#include "support/kernel_levels.h"

#include <algorithm>
#include <cstdio>

#include "plugin/kernel_level.h"

namespace {

constexpr KernelLevel kAllLevels[] = {KernelLevel::kPlain, KernelLevel::kSse, KernelLevel::kSse3,
                                      KernelLevel::kAvx2};

}  // namespace

std::vector<KernelLevel> runnable_kernel_levels() {
  std::vector<KernelLevel> levels;
  for (KernelLevel level : kAllLevels)
    if (level <= highest_kernel_level()) levels.push_back(level);
  return levels;
}

std::string skipped_kernel_levels() {
  std::string names;
  for (KernelLevel level : kAllLevels) {
    if (level <= highest_kernel_level()) continue;
    if (!names.empty()) names += ' ';
    names += kernel_level_name(level);
  }
  return names;
}

EngineKernels plain_reference(KernelLevel level) {
  EngineKernels k = engine_kernels(KernelLevel::kPlain);
  if (level >= KernelLevel::kSse3) {
    k.analysis = d4_analysis_l2_c;
    k.odd_lowpass = d4_odd_lowpass_l2_c;
    k.analysis_rows = d4_analysis_rows_l2_c;
  }
  return k;
}

const EngineKernels& highest_kernels() {
  static const EngineKernels kernels = engine_kernels(highest_kernel_level());
  return kernels;
}

const EngineKernels& arithmetic_kernels(int arithmetic) {
  static const EngineKernels level1 =
      engine_kernels(std::min(KernelLevel::kSse, highest_kernel_level()));
  static const EngineKernels level2 =
      engine_kernels(std::min(KernelLevel::kSse3, highest_kernel_level()));
  return arithmetic == 2 ? level2 : level1;
}

void note_skipped_levels(const std::string& what) {
  const std::string skipped = skipped_kernel_levels();
  if (!skipped.empty()) std::printf("[ SKIPPED  ] %s: %s\n", what.c_str(), skipped.c_str());
}
