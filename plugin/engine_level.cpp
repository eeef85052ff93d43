#include "plugin/engine_level.h"

#include "plugin/module_state.h"

namespace {
int32_t g_limit = 0;
}

int32_t set_engine_simd_level_limit(int32_t limit) {
  g_limit = limit < 0 ? 0 : limit;
  return engine_simd_level();
}

int32_t engine_simd_level() {
  if (g_limit > 0 && g_limit < SimdLevel) return g_limit;
  return SimdLevel;
}
