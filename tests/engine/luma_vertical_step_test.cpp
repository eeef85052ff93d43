// The vertical step of the spatial luma pass computed row by row (through the
// row kernels) equals the step computed column by column (each padded column
// gathered into a line and transformed by the line kernel), bit for bit, for
// whole frames and fields, both kernel arithmetics and more than one padding.
#include "engine/luma_vertical_step.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "support/kernel_levels.h"
#include "test_work_planes.h"

namespace {

constexpr int32_t kW = 800;
constexpr int32_t kH = 512;
constexpr int32_t kStride = 800;

std::vector<PIXEL_YC> noisy_frame(int32_t rows) {
  std::vector<PIXEL_YC> frame(static_cast<size_t>(kStride) * rows);
  uint32_t state = 99;
  for (PIXEL_YC& p : frame) {
    state = state * 1664525u + 1013904223u;
    p.y = static_cast<int16_t>(static_cast<int32_t>(state >> 19) - 4096);
    p.cb = static_cast<int16_t>(state & 1023);
    p.cr = 0;
  }
  return frame;
}

TEST(LumaVerticalStep, RowsGiveTheColumnsResultBitForBit) {
  struct Size {
    int32_t w, h;
  };
  for (const Size size : {Size{720, 480}, Size{784, 496}}) {
    const std::vector<PIXEL_YC> frame = noisy_frame(size.h);
    for (bool field_mode : {false, true}) {
      for (int32_t level : {1, 2}) {
        SCOPED_TRACE(testing::Message() << size.w << "x" << size.h << (field_mode ? " fields" : "")
                                        << ", level " << level);
        FilterParameters params;
        params.field_mode = field_mode;
        TestWorkPlanes by_rows(kW, kH, 3), by_columns(kW, kH, 3);
        SpatialJob job;
        job.src = frame.data();
        job.stride = kStride;
        job.w = size.w;
        job.h = size.h;
        job.kernels = &arithmetic_kernels(level);
        job.params = &params;
        const CoringSettings no_coring;
        job.planes = &by_rows.planes;
        luma_vertical_step(job, no_coring);
        job.planes = &by_columns.planes;
        luma_vertical_step_by_columns(job, no_coring);
        const size_t bytes = sizeof(float) * kW * kH;
        ASSERT_EQ(std::memcmp(by_rows.planes.LumaWorkPlane, by_columns.planes.LumaWorkPlane, bytes),
                  0);
      }
    }
  }
}

}  // namespace
