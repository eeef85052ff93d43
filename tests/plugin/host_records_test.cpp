#include <gtest/gtest.h>

#include <cstddef>

#include "plugin/host_api.h"

// The records keep the host's field order in every build; the byte offsets
// themselves are pinned by static_asserts where pointers are 4 bytes.
TEST(HostRecords, FieldOrderMatchesHostLayout) {
  constexpr size_t p = sizeof(void*);
  if (p == 4) {
    EXPECT_EQ(offsetof(FILTER, track), 68u);
    EXPECT_EQ(offsetof(FILTER, exfunc), 96u);
    EXPECT_EQ(offsetof(FILTER_PROC_INFO, editp), 60u);
  }
  EXPECT_LT(offsetof(FILTER, track), offsetof(FILTER, check));
  EXPECT_LT(offsetof(FILTER, exfunc), offsetof(FILTER, dll_hinst));
  EXPECT_EQ(offsetof(EXFUNC, filter_window_update), 21 * p);
  EXPECT_EQ(offsetof(EXFUNC, is_filter_active), 25 * p);
  EXPECT_EQ(offsetof(EXFUNC, set_ycp_filtering_cache_size), 44 * p);
  EXPECT_EQ(offsetof(EXFUNC, get_ycp_filtering_cache_ex), 50 * p);
  EXPECT_EQ(offsetof(EXFUNC, exec_multi_thread_func), 51 * p);
  EXPECT_EQ(sizeof(PIXEL_YC), 6u);
}
