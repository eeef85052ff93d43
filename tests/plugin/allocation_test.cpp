#include "plugin/allocation.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

TEST(ModuleAllocation, AlignedZeroFilledAndFreedCleanly) {
  std::vector<void*> blocks;
  for (size_t alignment : {4u, 16u, 64u})
    for (size_t bytes : {1u, 96u, 16384u, 3u << 20}) {
      auto* p = static_cast<unsigned char*>(module_aligned_alloc(bytes, alignment));
      ASSERT_NE(p, nullptr);
      EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % alignment, 0u);
      for (size_t i = 0; i < bytes; i += 4093) EXPECT_EQ(p[i], 0);
      EXPECT_EQ(p[bytes - 1], 0);
      p[0] = p[bytes - 1] = 0xAB;  // the whole block is usable
      blocks.push_back(p);
    }
  for (void* p : blocks) module_aligned_free(p);
  module_aligned_free(nullptr);
}

TEST(ModuleAllocation, TheHookCanRefuseAndImpossibleSizesFail) {
  set_allocation_hook([](size_t bytes) { return bytes < 1000; });
  void* small = module_aligned_alloc(999, 16);
  EXPECT_NE(small, nullptr);
  EXPECT_EQ(module_aligned_alloc(1000, 16), nullptr);
  set_allocation_hook(nullptr);
  module_aligned_free(small);
  EXPECT_EQ(module_aligned_alloc(SIZE_MAX - 8, 64), nullptr);
}

}  // namespace
