#pragma once
// The luma of the frame rows a pre-stage worker is using, each row gathered
// once from its PIXEL_YC samples into a 16-bit line, for the row kernels.
// kSlots lines are kept; row y lives in slot y mod kSlots, so a worker that
// walks down its stripe gathers every row it reads once as long as the rows
// one output row needs, together with those of the output rows it revisits
// them for, have distinct slots.
#include <cstddef>
#include <cstdint>

#include "engine/pixel.h"

// The widest frame the pre-stages take: their lines live on the worker's
// stack. The module's frames are at most 1920 wide.
constexpr int32_t kPreStageMaxWidth = 2048;

template <int32_t kSlots, int32_t kMaxWidth>
class LumaLines {
 public:
  // frame: rows `stride` pixels apart, of which the first `width` (at most
  // kMaxWidth) are gathered.
  LumaLines(const PIXEL_YC* frame, ptrdiff_t stride, int32_t width)
      : frame_(frame), stride_(stride), width_(width) {
    for (int32_t& tag : tags_) tag = -1;
  }
  LumaLines(const LumaLines&) = delete;
  LumaLines& operator=(const LumaLines&) = delete;

  const int16_t* row(int32_t y) {
    const int32_t slot = y % kSlots;
    if (tags_[slot] != y) {
      const PIXEL_YC* src = frame_ + y * stride_;
      int16_t* line = lines_[slot];
      for (int32_t x = 0; x < width_; ++x) line[x] = src[x].y;
      tags_[slot] = y;
    }
    return lines_[slot];
  }

 private:
  const PIXEL_YC* frame_;
  ptrdiff_t stride_;
  int32_t width_;
  int32_t tags_[kSlots];
  int16_t lines_[kSlots][kMaxWidth];
};
