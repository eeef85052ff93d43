#include "plugin/host_api.h"
#include "plugin/module_state.h"

// Placeholder table until the real one lands.
namespace {
FILTER_DLL g_table = {};
}

extern "C" FILTER_DLL* GetFilterTable(void) {
  g_table.flag = FILTER_FLAG_EX_INFORMATION;
  g_table.func_proc = func_proc;
  g_table.func_init = func_init;
  g_table.func_exit = func_exit;
  g_table.func_update = func_update;
  g_table.func_WndProc = func_WndProc;
  g_table.func_save_start = func_save_start;
  return &g_table;
}
