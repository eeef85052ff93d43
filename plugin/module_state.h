#pragma once
// The module's process-global state, alive from func_init to func_exit. The
// host calls the module's callbacks one at a time, so nothing here is locked.
#include <cstddef>
#include <cstdint>

#include "engine/engine_kernels.h"
#include "engine/filter_parameters.h"
#include "plugin/host_api.h"
#include "plugin/prestage_settings.h"
#include "plugin/work_buffers.h"

constexpr int32_t kEmptySlot = -99;
constexpr int kSlotCacheEntries = 9;

extern int32_t SimdLevel;                          // 0, 1 or 2; set by func_init
extern EngineKernels Kernels;                      // the forms the passes call; func_init fills it
extern FilterParameters FilterParams;              // written only by func_update
extern PreStageSettings PreStages;                 // written only by func_update
extern int32_t FrameSlotCache[kSlotCacheEntries];  // clip frame per slot, -99 empty
extern int32_t BufferWidth;                        // W
extern int32_t BufferHeight;                       // H
extern int32_t WindowCount;                        // N
extern bool AllocationOk;
extern WorkBuffers Buffers;                        // the work buffers and scratch vectors

// Sets every FrameSlotCache entry to empty.
void empty_frame_slot_cache();

// Reallocates Buffers for BufferWidth x BufferHeight and WindowCount and
// empties FrameSlotCache, whatever happens; true when every slot holds an
// allocation.
bool reallocate_module_buffers();

// Host callbacks.
BOOL func_init(FILTER* fp);
BOOL func_exit(FILTER* fp);
BOOL func_update(FILTER* fp, int status);
BOOL func_proc(FILTER* fp, FILTER_PROC_INFO* fpip);
BOOL func_save_start(FILTER* fp, int s, int e, void* editp);
BOOL func_WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, void* editp,
                  FILTER* fp);
