#include "plugin/work_buffers.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "plugin/allocation.h"
#include "plugin/module_state.h"

namespace {

uintptr_t address(const void* p) { return reinterpret_cast<uintptr_t>(p); }

TEST(WorkBuffers, TotalSizesOfTheThreeGeometries) {
  EXPECT_EQ(total_work_buffer_bytes(1952, 1120, 5), 188099328u);
  EXPECT_EQ(total_work_buffer_bytes(1952, 1120, 9), 328018688u);
  EXPECT_EQ(total_work_buffer_bytes(800, 512, 5), 35261184u);
}

TEST(WorkBuffers, ViewsAreAlignedAndLaidOutInAddressOrder) {
  WorkBuffers buffers;
  ASSERT_TRUE(buffers.reallocate(800, 512, 3));
  const WorkPlanes& p = buffers.planes();
  EXPECT_EQ(p.W, 800);
  EXPECT_EQ(p.N, 3);
  EXPECT_EQ(address(p.LumaSlotPlanesA) % 64, 0u);
  EXPECT_EQ(address(p.CbSlotPlanesA) % 64, 0u);
  EXPECT_EQ(address(p.CrSlotPlanesA) % 64, 0u);
  EXPECT_EQ(address(p.PartLineBuffers[0]) % 16, 0u);
  EXPECT_EQ(address(p.CbOutPlane) % 16, 0u);
  const size_t plane = 3u * 512 * 800 * sizeof(float);
  EXPECT_EQ(address(p.LumaSlotPlanesB) - address(p.LumaSlotPlanesA), plane);
  EXPECT_EQ(address(p.LumaWorkPlane) - address(p.LumaSlotPlanesB), plane);
  EXPECT_EQ(address(p.CbSlotPlanesB) - address(p.CbSlotPlanesA), plane / 2);
  for (int i = 1; i < 4; ++i) {
    EXPECT_EQ(address(p.PartLineBuffers[i]) - address(p.PartLineBuffers[i - 1]), 800u * 2);
    EXPECT_EQ(address(p.LumaLineBuffers[i]) - address(p.LumaLineBuffers[i - 1]), 800u * 4);
    EXPECT_EQ(address(p.CrLineBuffers[i]) - address(p.CrLineBuffers[i - 1]), 512u * 4);
  }
  EXPECT_EQ(buffers.slot(17).bytes, work_buffer_bytes(17, 800, 512, 3));
  // Fresh planes are zero-filled: nothing uninitialised reaches the passes.
  EXPECT_EQ(p.LumaSlotPlanesA[12345], 0.0f);
  EXPECT_EQ(p.CrOutPlane[511], 0);
}

TEST(WorkBuffers, FailedSlotLeavesTheOthersAllocatedAndReportsFalse) {
  WorkBuffers buffers;
  ASSERT_TRUE(buffers.allocate_scratch());
  // Refuse only the luma slot planes (the one block larger than 10 MB here).
  set_allocation_hook([](size_t bytes) { return bytes < 10u * 1024 * 1024; });
  EXPECT_FALSE(buffers.reallocate(800, 512, 5));
  set_allocation_hook(nullptr);
  EXPECT_EQ(buffers.slot(17).memory, nullptr);
  EXPECT_EQ(buffers.planes().LumaSlotPlanesA, nullptr);
  EXPECT_EQ(buffers.planes().LumaWorkPlane, nullptr);
  EXPECT_NE(buffers.slot(18).memory, nullptr);
  EXPECT_NE(buffers.planes().CbSlotPlanesA, nullptr);
  EXPECT_NE(buffers.planes().ScratchVectors[5], nullptr) << "the scratch vectors are kept";
  EXPECT_TRUE(buffers.reallocate(800, 512, 5));
}

TEST(WorkBuffers, ReleasingTwiceIsHarmlessAndClearsEveryView) {
  WorkBuffers buffers;
  ASSERT_TRUE(buffers.allocate_scratch());
  ASSERT_TRUE(buffers.reallocate(800, 512, 3));
  buffers.release();
  buffers.release();
  for (int number = 13; number <= 21; ++number) EXPECT_EQ(buffers.slot(number).memory, nullptr);
  EXPECT_EQ(buffers.planes().CrOutPlane, nullptr);
  EXPECT_EQ(buffers.planes().ScratchVectors[0], nullptr);
}

// The module's reallocation empties the slot cache, also when it fails.
TEST(ModuleBuffers, ReallocationEmptiesTheSlotCacheAlsoWhenItFails) {
  BufferWidth = 800;
  BufferHeight = 512;
  WindowCount = 3;
  for (bool fail : {false, true}) {
    for (int32_t& entry : FrameSlotCache) entry = 7;
    if (fail) set_allocation_hook([](size_t bytes) { return bytes < 10u * 1024 * 1024; });
    EXPECT_EQ(reallocate_module_buffers(), !fail);
    set_allocation_hook(nullptr);
    for (int32_t entry : FrameSlotCache) EXPECT_EQ(entry, kEmptySlot) << "failing " << fail;
  }
  Buffers.release();
}

}  // namespace
