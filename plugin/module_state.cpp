#include "plugin/module_state.h"

int32_t SimdLevel = 0;
EngineKernels Kernels;
FilterParameters FilterParams;
PreStageSettings PreStages;
int32_t FrameSlotCache[kSlotCacheEntries] = {kEmptySlot, kEmptySlot, kEmptySlot,
                                             kEmptySlot, kEmptySlot, kEmptySlot,
                                             kEmptySlot, kEmptySlot, kEmptySlot};
int32_t BufferWidth = 1952;
int32_t BufferHeight = 1120;
int32_t WindowCount = 5;
bool AllocationOk = false;
WorkBuffers Buffers;

void empty_frame_slot_cache() {
  for (int32_t& entry : FrameSlotCache) entry = kEmptySlot;
}

bool reallocate_module_buffers() {
  const bool ok = Buffers.reallocate(BufferWidth, BufferHeight, WindowCount);
  empty_frame_slot_cache();
  return ok;
}
