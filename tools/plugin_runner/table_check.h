#pragma once
// Checks a plug-in table as the editor reads it. Where pointers are 4 bytes
// (the editor's own 32-bit world) the fields are read at the editor's byte
// offsets from the raw table; elsewhere through the record's named fields.
#include "plugin/host_api.h"
#include "tools/plugin_runner/check_list.h"

// Expects: flag 0x00080000, name "Quietloom", 16 tracks and 5 checks with
// labels and defaults inside their ranges, the information text, every
// callback the module implements (proc, init, exit, update, WndProc,
// save_start) and zero in every field the host fills or the module leaves
// unused. Returns true when the table read the editor's way.
bool check_filter_table(const FILTER_DLL* table, CheckList& checks);
