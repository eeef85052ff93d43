#include "plugin/work_buffers.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "plugin/allocation.h"
#include "plugin/module_state.h"

namespace {

void fill_slot_cache(int32_t value) {
  for (int32_t& entry : FrameSlotCache) entry = value;
}

bool all_slots_empty() {
  for (int32_t entry : FrameSlotCache)
    if (entry != kEmptySlot) return false;
  return true;
}

class WorkBuffers : public ::testing::Test {
 protected:
  void TearDown() override {
    set_allocation_hook(nullptr);
    free_work_buffers();
  }
  void allocate(int32_t W, int32_t H, int32_t N) {
    BufferWidth = W;
    BufferHeight = H;
    WindowCount = N;
    ok_ = reallocate_work_buffers();
  }
  bool ok_ = false;
};

TEST_F(WorkBuffers, TotalSizesOfTheThreeGeometries) {
  EXPECT_EQ(total_work_buffer_bytes(1952, 1120, 5), 188099328u);
  EXPECT_EQ(total_work_buffer_bytes(1952, 1120, 9), 328018688u);
  EXPECT_EQ(total_work_buffer_bytes(800, 512, 5), 35261184u);
}

TEST_F(WorkBuffers, SubBuffersAreAlignedAndLaidOutInAddressOrder) {
  fill_slot_cache(7);
  allocate(800, 512, 3);
  ASSERT_TRUE(ok_);
  EXPECT_TRUE(all_slots_empty());
  const auto addr = [](const void* p) { return reinterpret_cast<uintptr_t>(p); };
  EXPECT_EQ(addr(Planes.LumaSlotPlanesA) % 64, 0u);
  EXPECT_EQ(addr(Planes.CbSlotPlanesA) % 64, 0u);
  EXPECT_EQ(addr(Planes.CrSlotPlanesA) % 64, 0u);
  EXPECT_EQ(addr(Planes.PartLineBuffers[0]) % 16, 0u);
  EXPECT_EQ(addr(Planes.CbOutPlane) % 16, 0u);
  const size_t plane = 3u * 512 * 800 * sizeof(float);
  EXPECT_EQ(addr(Planes.LumaSlotPlanesB) - addr(Planes.LumaSlotPlanesA), plane);
  EXPECT_EQ(addr(Planes.LumaWorkPlane) - addr(Planes.LumaSlotPlanesB), plane);
  EXPECT_EQ(addr(Planes.CbSlotPlanesB) - addr(Planes.CbSlotPlanesA), plane / 2);
  for (int i = 1; i < 4; ++i) {
    EXPECT_EQ(addr(Planes.PartLineBuffers[i]) - addr(Planes.PartLineBuffers[i - 1]), 800u * 2);
    EXPECT_EQ(addr(Planes.LumaLineBuffers[i]) - addr(Planes.LumaLineBuffers[i - 1]), 800u * 4);
    EXPECT_EQ(addr(Planes.CrLineBuffers[i]) - addr(Planes.CrLineBuffers[i - 1]), 512u * 4);
  }
  // Fresh planes are zero-filled: nothing uninitialised reaches the passes.
  EXPECT_EQ(Planes.LumaSlotPlanesA[12345], 0.0f);
  EXPECT_EQ(Planes.CrOutPlane[511], 0);
}

TEST_F(WorkBuffers, FailedSlotLeavesTheOthersAllocatedAndReportsFalse) {
  // Refuse only the luma slot planes (the one block larger than 10 MB here).
  set_allocation_hook([](size_t bytes) { return bytes < 10u * 1024 * 1024; });
  fill_slot_cache(3);
  allocate(800, 512, 5);
  EXPECT_FALSE(ok_);
  EXPECT_TRUE(all_slots_empty());
  EXPECT_EQ(WorkBufferTable[17 - 13].memory, nullptr);
  EXPECT_EQ(Planes.LumaSlotPlanesA, nullptr);
  EXPECT_NE(WorkBufferTable[18 - 13].memory, nullptr);
  EXPECT_NE(Planes.CbSlotPlanesA, nullptr);
  set_allocation_hook(nullptr);
  allocate(800, 512, 5);
  EXPECT_TRUE(ok_);
}

TEST_F(WorkBuffers, FreeingTwiceIsHarmless) {
  allocate(800, 512, 3);
  free_work_buffers();
  free_work_buffers();
  for (const WorkBufferSlot& slot : WorkBufferTable) EXPECT_EQ(slot.memory, nullptr);
}

}  // namespace
