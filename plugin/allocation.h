#pragma once
// Every large allocation of the module goes through here, so that tests can
// make an allocation fail and watch the failure paths. Allocations are aligned
// and zero-filled.
#include <cstddef>

using AllocationHook = bool (*)(size_t bytes);  // return false to refuse

void* module_aligned_alloc(size_t bytes, size_t alignment);
void module_aligned_free(void* p);

// Installs a hook consulted before every allocation (nullptr removes it).
void set_allocation_hook(AllocationHook hook);
