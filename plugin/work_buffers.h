#pragma once
// The work buffers: nine aligned allocations (slots 13 .. 21) sized for a
// buffer geometry W x H and window length N, cut into the line buffers, slot
// planes, work plane and output planes that the passes use, and the 96-byte
// block of the six scratch vectors. A WorkBuffers owns all of them; planes()
// is the view the passes are given.
#include <cstddef>
#include <cstdint>

#include "engine/work_planes.h"

constexpr int kFirstWorkBufferSlot = 13;
constexpr int kWorkBufferSlots = 9;

struct WorkBufferSlot {
  void* memory = nullptr;
  size_t bytes = 0;
};

// Bytes and alignment of slot `slot` (13 .. 21) for the geometry W x H, N.
size_t work_buffer_bytes(int slot, int32_t W, int32_t H, int32_t N);
size_t work_buffer_alignment(int slot);
// Sum over the nine slots.
size_t total_work_buffer_bytes(int32_t W, int32_t H, int32_t N);

class WorkBuffers {
 public:
  WorkBuffers() = default;
  ~WorkBuffers() { release(); }
  WorkBuffers(const WorkBuffers&) = delete;
  WorkBuffers& operator=(const WorkBuffers&) = delete;

  // Reallocates every slot for W x H and N in the order 13, 14, 17, 15, 18,
  // 20, 16, 19, 21; the old contents do not survive. A slot whose allocation
  // fails is left empty and its views null, and the others are still
  // allocated. Returns true only when all nine hold an allocation. Fresh
  // buffers are zero-filled. The scratch vectors are kept.
  bool reallocate(int32_t W, int32_t H, int32_t N);

  // Allocates the scratch vectors' block unless it is there; false when no
  // memory is left for it.
  bool allocate_scratch();

  // Frees the scratch block and then the nine slots in allocation order;
  // harmless when they are empty.
  void release();

  const WorkPlanes& planes() const { return planes_; }
  // Slot 13 .. 21.
  const WorkBufferSlot& slot(int number) const { return slots_[number - kFirstWorkBufferSlot]; }

 private:
  void free_slot(int number);
  void assign_views(int number, char* base);

  WorkBufferSlot slots_[kWorkBufferSlots];
  void* scratch_ = nullptr;
  WorkPlanes planes_;
};
