#include "plugin/work_buffers.h"

#include "plugin/allocation.h"
#include "plugin/module_state.h"

WorkBufferSlot WorkBufferTable[kWorkBufferSlots];

namespace {

constexpr int kReallocationOrder[kWorkBufferSlots] = {13, 14, 17, 15, 18, 20, 16, 19, 21};

WorkBufferSlot& slot_entry(int slot) { return WorkBufferTable[slot - kFirstWorkBufferSlot]; }

// Points the sub-buffers of `slot` into its allocation at `base`, or clears
// them when the allocation failed, so that no view is left dangling into
// memory that was given back.
void assign_sub_buffers(int slot, char* base, int32_t W, int32_t H, int32_t N) {
  const size_t luma_plane = static_cast<size_t>(N) * H * W * sizeof(float);
  const size_t chroma_plane = static_cast<size_t>(N) * H * (W / 2) * sizeof(float);
  auto line = [&](size_t index, size_t line_bytes) {
    return base ? base + index * line_bytes : nullptr;
  };
  switch (slot) {
    case 13:
      for (int i = 0; i < 4; ++i)
        Planes.PartLineBuffers[i] = reinterpret_cast<int16_t*>(line(i, W * sizeof(int16_t)));
      break;
    case 14:
      for (int i = 0; i < 4; ++i)
        Planes.LumaLineBuffers[i] = reinterpret_cast<float*>(line(i, W * sizeof(float)));
      break;
    case 17:
      Planes.LumaSlotPlanesA = reinterpret_cast<float*>(base);
      Planes.LumaSlotPlanesB = reinterpret_cast<float*>(base ? base + luma_plane : nullptr);
      Planes.LumaWorkPlane = reinterpret_cast<float*>(base ? base + 2 * luma_plane : nullptr);
      break;
    case 15:
      for (int i = 0; i < 4; ++i)
        Planes.CbLineBuffers[i] = reinterpret_cast<float*>(line(i, H * sizeof(float)));
      break;
    case 18:
      Planes.CbSlotPlanesA = reinterpret_cast<float*>(base);
      Planes.CbSlotPlanesB = reinterpret_cast<float*>(base ? base + chroma_plane : nullptr);
      break;
    case 20:
      Planes.CbOutPlane = reinterpret_cast<int16_t*>(base);
      break;
    case 16:
      for (int i = 0; i < 4; ++i)
        Planes.CrLineBuffers[i] = reinterpret_cast<float*>(line(i, H * sizeof(float)));
      break;
    case 19:
      Planes.CrSlotPlanesA = reinterpret_cast<float*>(base);
      Planes.CrSlotPlanesB = reinterpret_cast<float*>(base ? base + chroma_plane : nullptr);
      break;
    case 21:
      Planes.CrOutPlane = reinterpret_cast<int16_t*>(base);
      break;
  }
}

}  // namespace

size_t work_buffer_bytes(int slot, int32_t W, int32_t H, int32_t N) {
  const size_t w = static_cast<size_t>(W), h = static_cast<size_t>(H), n = static_cast<size_t>(N);
  switch (slot) {
    case 13: return 8 * w;
    case 14: return 16 * w;
    case 17: return 4 * (2 * n + 1) * h * w;
    case 15: case 16: return 16 * h;
    case 18: case 19: return 8 * (w / 2) * n * h;
    case 20: case 21: return 2 * (w / 2) * h;
    default: return 0;
  }
}

size_t work_buffer_alignment(int slot) {
  return (slot == 17 || slot == 18 || slot == 19) ? 64 : 16;
}

size_t total_work_buffer_bytes(int32_t W, int32_t H, int32_t N) {
  size_t total = 0;
  for (int slot : kReallocationOrder) total += work_buffer_bytes(slot, W, H, N);
  return total;
}

bool reallocate_work_buffers() {
  bool ok = true;
  const int32_t W = BufferWidth, H = BufferHeight, N = WindowCount;
  Planes.W = W;
  Planes.H = H;
  Planes.N = N;
  for (int slot : kReallocationOrder) {
    WorkBufferSlot& entry = slot_entry(slot);
    // The old contents need not survive: give the old block back first so the
    // peak stays at one geometry's worth of memory.
    if (entry.memory) module_aligned_free(entry.memory);
    entry.memory = nullptr;
    entry.bytes = 0;
    const size_t bytes = work_buffer_bytes(slot, W, H, N);
    void* memory = module_aligned_alloc(bytes, work_buffer_alignment(slot));
    if (memory) {
      entry.memory = memory;
      entry.bytes = bytes;
    } else {
      ok = false;
    }
    assign_sub_buffers(slot, static_cast<char*>(memory), W, H, N);
  }
  empty_frame_slot_cache();
  return ok;
}

void free_work_buffers() {
  for (int slot : kReallocationOrder) {
    WorkBufferSlot& entry = slot_entry(slot);
    if (entry.memory) module_aligned_free(entry.memory);
    entry.memory = nullptr;
    entry.bytes = 0;
    assign_sub_buffers(slot, nullptr, 0, 0, 0);
  }
}
