#pragma once
// The work buffers: nine aligned allocations (slots 13 .. 21) sized for the
// buffer geometry W x H and window length N, cut into the line buffers, slot
// planes, work plane and output planes that the passes use (see WorkPlanes).
#include <cstddef>
#include <cstdint>

constexpr int kFirstWorkBufferSlot = 13;
constexpr int kWorkBufferSlots = 9;

struct WorkBufferSlot {
  void* memory = nullptr;
  size_t bytes = 0;
};

// Indexed by slot number - 13.
extern WorkBufferSlot WorkBufferTable[kWorkBufferSlots];

// Bytes and alignment of slot `slot` (13 .. 21) for the geometry W x H, N.
size_t work_buffer_bytes(int slot, int32_t W, int32_t H, int32_t N);
size_t work_buffer_alignment(int slot);
// Sum over the nine slots.
size_t total_work_buffer_bytes(int32_t W, int32_t H, int32_t N);

// Reallocates every slot for BufferWidth x BufferHeight and WindowCount, in
// the order 13, 14, 17, 15, 18, 20, 16, 19, 21, fills Planes, and empties the
// FrameSlotCache whatever happens. Returns true only when all nine slots hold
// an allocation. Fresh buffers are zero-filled.
bool reallocate_work_buffers();

// Frees the nine slots in the same order; safe to call when they are empty.
void free_work_buffers();
