#include "plugin/module_state.h"

// Placeholder until the lifecycle lands.
BOOL func_init(FILTER*) { return 1; }
BOOL func_exit(FILTER*) { return 1; }
BOOL func_save_start(FILTER*, int, int, void*) {
  empty_frame_slot_cache();
  return 1;
}
