#pragma once
// The kernel levels a benchmark can run here, lowest first.
#include <string>
#include <vector>

#include "engine/engine_kernels.h"
#include "plugin/kernel_level.h"

inline std::vector<KernelLevel> bench_kernel_levels() {
  std::vector<KernelLevel> levels;
  for (KernelLevel level : {KernelLevel::kPlain, KernelLevel::kSse, KernelLevel::kSse3,
                            KernelLevel::kAvx2})
    if (level <= highest_kernel_level()) levels.push_back(level);
  return levels;
}

// "name/level" for a benchmark's name.
inline std::string at_level(const std::string& name, KernelLevel level) {
  return name + "/" + kernel_level_name(level);
}
