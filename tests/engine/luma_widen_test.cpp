#include "engine/luma_widen.h"

#include <gtest/gtest.h>

#include <bit>
#include <random>
#include <vector>

#include "engine/engine_kernels.h"
#include "support/kernel_levels.h"

namespace {

// Every level's widening against the plain form over the whole 16-bit range,
// for the row lengths of the frame sizes, with a guard after the row.
TEST(LumaWiden, EveryLevelMatchesThePlainForm) {
  std::mt19937 rng(8);
  std::uniform_int_distribution<int> sample(-32768, 32767);
  const EngineKernels plain = engine_kernels(KernelLevel::kPlain);
  for (KernelLevel level : runnable_kernel_levels()) {
    const LumaWidenKernel form = engine_kernels(level).widen_luma;
    if (level == KernelLevel::kAvx2) {
      ASSERT_NE(form, plain.widen_luma) << "the AVX2 level has a form of its own";
    }
    for (int32_t n : {8, 16, 720, 1920}) {
      std::vector<PIXEL_YC> row(static_cast<size_t>(n) + 1);
      for (PIXEL_YC& p : row)
        p = {static_cast<int16_t>(sample(rng)), static_cast<int16_t>(sample(rng)), -1};
      std::vector<float> out(static_cast<size_t>(n) + 1, -0.0f);
      form(row.data(), n, out.data());
      for (int32_t x = 0; x < n; ++x)
        ASSERT_EQ(out[x], static_cast<float>(row[x].y)) << kernel_level_name(level) << " " << x;
      EXPECT_EQ(std::bit_cast<uint32_t>(out[n]), 0x80000000u) << "wrote past the row";
    }
  }
  note_skipped_levels("luma widening of the levels not run here");
}

}  // namespace
