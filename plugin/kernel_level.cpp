#include "plugin/kernel_level.h"

#include <algorithm>

#include "plugin/cpu_probe.h"
#include "plugin/module_state.h"

namespace {
bool g_selected = false;
KernelLevel g_level = KernelLevel::kPlain;
}  // namespace

KernelLevel highest_kernel_level() {
  return std::min(detect_kernel_level(), highest_built_kernel_level());
}

bool select_kernel_level(KernelLevel level) {
  if (level > highest_kernel_level()) return false;
  g_selected = true;
  g_level = level;
  Kernels = engine_kernels(level);
  return true;
}

void select_highest_kernel_level() {
  g_selected = false;
  Kernels = engine_kernels(highest_kernel_level());
}

KernelLevel selected_kernel_level() { return g_selected ? g_level : highest_kernel_level(); }
