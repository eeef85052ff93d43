#include "plugin/module_state.h"

// Placeholder until the settings window lands.
BOOL func_WndProc(HWND, UINT, WPARAM, LPARAM, void*, FILTER*) { return 0; }
