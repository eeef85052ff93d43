#include "plugin/allocation.h"

#include <cstdint>
#include <cstdlib>

namespace {
AllocationHook g_hook = nullptr;
}

void set_allocation_hook(AllocationHook hook) { g_hook = hook; }

// Zero-filled memory comes from calloc, which gets fresh pages from the
// system already zeroed instead of writing hundreds of megabytes itself; the
// block is over-allocated to reach the alignment, and the pointer calloc gave
// is kept just below the aligned start for the free.
void* module_aligned_alloc(size_t bytes, size_t alignment) {
  if (g_hook && !g_hook(bytes)) return nullptr;
  if (alignment < sizeof(void*)) alignment = sizeof(void*);
  const size_t extra = alignment + sizeof(void*);
  if (bytes > SIZE_MAX - extra) return nullptr;
  void* raw = std::calloc(1, bytes + extra);
  if (!raw) return nullptr;
  const uintptr_t start = reinterpret_cast<uintptr_t>(raw) + sizeof(void*);
  const uintptr_t aligned = (start + alignment - 1) & ~static_cast<uintptr_t>(alignment - 1);
  reinterpret_cast<void**>(aligned)[-1] = raw;
  return reinterpret_cast<void*>(aligned);
}

void module_aligned_free(void* p) {
  if (p) std::free(static_cast<void**>(p)[-1]);
}
