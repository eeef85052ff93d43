#pragma once
// The module's process-global state, alive from func_init to func_exit. The
// host calls the module's callbacks one at a time, so nothing here is locked.
#include <cstddef>
#include <cstdint>

#include "engine/filter_parameters.h"
#include "engine/work_planes.h"
#include "plugin/host_api.h"

constexpr int32_t kEmptySlot = -99;
constexpr int kSlotCacheEntries = 9;

extern int32_t SimdLevel;                          // 0, 1 or 2; set by func_init
extern FilterParameters FilterParams;              // written only by func_update
extern int32_t FrameSlotCache[kSlotCacheEntries];  // clip frame per slot, -99 empty
extern int32_t BufferWidth;                        // W
extern int32_t BufferHeight;                       // H
extern int32_t WindowCount;                        // N
extern bool AllocationOk;
extern WorkPlanes Planes;                          // views into the work buffers

// Sets every FrameSlotCache entry to empty.
void empty_frame_slot_cache();

// Host callbacks.
BOOL func_init(FILTER* fp);
BOOL func_exit(FILTER* fp);
BOOL func_update(FILTER* fp, int status);
BOOL func_proc(FILTER* fp, FILTER_PROC_INFO* fpip);
BOOL func_save_start(FILTER* fp, int s, int e, void* editp);
BOOL func_WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, void* editp,
                  FILTER* fp);
