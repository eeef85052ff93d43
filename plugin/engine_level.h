#pragma once
// An internal control, not reachable by the host: run the engine at a chosen
// level no higher than the detected one, so that tests, benchmarks and the
// command-line tool can exercise both kernel arithmetics end to end.
#include <cstdint>

// limit 0 removes the limit. Returns the level the engine will now use.
int32_t set_engine_simd_level_limit(int32_t limit);
// The level the passes use: min(SimdLevel, limit).
int32_t engine_simd_level();
