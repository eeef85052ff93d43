#include "plugin/module_state.h"

// Placeholder until the driver lands.
BOOL func_proc(FILTER*, FILTER_PROC_INFO*) { return 1; }
