#include "plugin/work_buffers.h"

#include "plugin/allocation.h"

namespace {

constexpr int kReallocationOrder[kWorkBufferSlots] = {13, 14, 17, 15, 18, 20, 16, 19, 21};
constexpr size_t kScratchBytes = 96;  // six vectors of four floats

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

// Points the views of slot `number` into its allocation at `base`, or clears
// them when there is none, so that no view is left dangling into memory that
// was given back.
void WorkBuffers::assign_views(int number, char* base) {
  const int32_t W = planes_.W, H = planes_.H, N = planes_.N;
  const size_t luma_plane = static_cast<size_t>(N) * H * W * sizeof(float);
  const size_t chroma_plane = static_cast<size_t>(N) * H * (W / 2) * sizeof(float);
  auto at = [base](size_t offset) { return base ? base + offset : nullptr; };
  auto floats = [&](size_t offset) { return reinterpret_cast<float*>(at(offset)); };
  auto samples = [&](size_t offset) { return reinterpret_cast<int16_t*>(at(offset)); };
  WorkPlanes& p = planes_;
  switch (number) {
    case 13:
      for (int i = 0; i < 4; ++i) p.PartLineBuffers[i] = samples(i * W * sizeof(int16_t));
      break;
    case 14:
      for (int i = 0; i < 4; ++i) p.LumaLineBuffers[i] = floats(i * W * sizeof(float));
      break;
    case 17:
      p.LumaSlotPlanesA = floats(0);
      p.LumaSlotPlanesB = floats(luma_plane);
      p.LumaWorkPlane = floats(2 * luma_plane);
      break;
    case 15:
      for (int i = 0; i < 4; ++i) p.CbLineBuffers[i] = floats(i * H * sizeof(float));
      break;
    case 18:
      p.CbSlotPlanesA = floats(0);
      p.CbSlotPlanesB = floats(chroma_plane);
      break;
    case 20:
      p.CbOutPlane = samples(0);
      p.CbGatherLines = floats(0);
      break;
    case 16:
      for (int i = 0; i < 4; ++i) p.CrLineBuffers[i] = floats(i * H * sizeof(float));
      break;
    case 19:
      p.CrSlotPlanesA = floats(0);
      p.CrSlotPlanesB = floats(chroma_plane);
      break;
    case 21:
      p.CrOutPlane = samples(0);
      p.CrGatherLines = floats(0);
      break;
  }
}

void WorkBuffers::free_slot(int number) {
  WorkBufferSlot& entry = slots_[number - kFirstWorkBufferSlot];
  if (entry.memory) module_aligned_free(entry.memory);
  entry = WorkBufferSlot{};
  assign_views(number, nullptr);
}

bool WorkBuffers::reallocate(int32_t W, int32_t H, int32_t N) {
  bool ok = true;
  planes_.W = W;
  planes_.H = H;
  planes_.N = N;
  for (int number : kReallocationOrder) {
    // The old block goes back first, so that the peak stays at one
    // geometry's worth of memory.
    free_slot(number);
    const size_t bytes = work_buffer_bytes(number, W, H, N);
    void* memory = module_aligned_alloc(bytes, work_buffer_alignment(number));
    if (memory) {
      slots_[number - kFirstWorkBufferSlot] = {memory, bytes};
    } else {
      ok = false;
    }
    assign_views(number, static_cast<char*>(memory));
  }
  return ok;
}

bool WorkBuffers::allocate_scratch() {
  if (!scratch_) {
    scratch_ = module_aligned_alloc(kScratchBytes, 16);
    if (!scratch_) return false;
    for (int i = 0; i < 6; ++i) planes_.ScratchVectors[i] = static_cast<float*>(scratch_) + 4 * i;
  }
  return true;
}

void WorkBuffers::release() {
  if (scratch_) module_aligned_free(scratch_);
  scratch_ = nullptr;
  for (float*& vector : planes_.ScratchVectors) vector = nullptr;
  for (int number : kReallocationOrder) free_slot(number);
}
