#include "plugin/module_state.h"

// Placeholder until the real derivation lands.
BOOL func_update(FILTER*, int) {
  empty_frame_slot_cache();
  return 1;
}
