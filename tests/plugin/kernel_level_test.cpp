#include "plugin/kernel_level.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "plugin/module_state.h"
#include "support/kernel_levels.h"

namespace {

// Every level run here can be selected and fills the module's table for it;
// a level above them is refused and changes nothing.
TEST(KernelLevel, SelectingFillsTheModulesTableAndRefusesLevelsAboveTheHighest) {
  for (KernelLevel level : runnable_kernel_levels()) {
    ASSERT_TRUE(select_kernel_level(level)) << kernel_level_name(level);
    EXPECT_EQ(selected_kernel_level(), level);
    EXPECT_EQ(Kernels.level, std::min(level, highest_built_kernel_level()));
    EXPECT_EQ(Kernels.analysis, engine_kernels(level).analysis);
  }
  const KernelLevel highest = highest_kernel_level();
  if (highest < KernelLevel::kAvx2) {
    ASSERT_TRUE(select_kernel_level(KernelLevel::kPlain));
    EXPECT_FALSE(select_kernel_level(static_cast<KernelLevel>(static_cast<int>(highest) + 1)));
    EXPECT_EQ(selected_kernel_level(), KernelLevel::kPlain);
    EXPECT_EQ(Kernels.level, KernelLevel::kPlain);
  }
  select_highest_kernel_level();
  EXPECT_EQ(selected_kernel_level(), highest);
  EXPECT_EQ(Kernels.level, highest);
}

}  // namespace
