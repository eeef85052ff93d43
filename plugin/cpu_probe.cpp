#include "plugin/cpu_probe.h"

// Placeholder until the real probe lands: assumes SSE.
uint32_t probe_cpu_features() { return kCpuSseExecutes; }
int32_t detect_simd_level() { return 1; }
