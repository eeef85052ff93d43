#include "plugin/allocation.h"

#include <cstdlib>
#include <cstring>

namespace {
AllocationHook g_hook = nullptr;
}

void set_allocation_hook(AllocationHook hook) { g_hook = hook; }

void* module_aligned_alloc(size_t bytes, size_t alignment) {
  if (g_hook && !g_hook(bytes)) return nullptr;
  // aligned_alloc wants a size that is a multiple of the alignment.
  size_t rounded = (bytes + alignment - 1) / alignment * alignment;
  if (rounded == 0) rounded = alignment;
#if defined(_WIN32)
  void* p = _aligned_malloc(rounded, alignment);
#else
  void* p = std::aligned_alloc(alignment, rounded);
#endif
  if (p) std::memset(p, 0, rounded);
  return p;
}

void module_aligned_free(void* p) {
#if defined(_WIN32)
  _aligned_free(p);
#else
  std::free(p);
#endif
}
