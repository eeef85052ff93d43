#pragma once
// Small padded frames for the pre-stage tests. Rows are `stride` pixels apart
// with a few guard pixels past the width, so a stage that uses the width as the
// stride, or writes past the row, shows up.
#include <cstdint>
#include <random>
#include <vector>

#include "engine/pixel.h"
#include "engine/worker_rows.h"

namespace prefilter_test {

constexpr PIXEL_YC kGuard{12345, -1234, 4321};

struct TestFrame {
  int32_t w = 0;
  int32_t h = 0;
  int32_t stride = 0;
  std::vector<PIXEL_YC> px;

  TestFrame(int32_t width, int32_t height, PIXEL_YC fill = {0, 0, 0})
      : w(width), h(height), stride(width + 5), px(static_cast<size_t>(stride) * height, kGuard) {
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) at(x, y) = fill;
  }
  PIXEL_YC& at(int32_t x, int32_t y) { return px[static_cast<size_t>(y) * stride + x]; }
  const PIXEL_YC& at(int32_t x, int32_t y) const { return px[static_cast<size_t>(y) * stride + x]; }
  PIXEL_YC* data() { return px.data(); }
  const PIXEL_YC* data() const { return px.data(); }
};

// Frame of the same geometry whose every pixel, guards included, is kGuard:
// an output frame must overwrite exactly the w x h pixels.
inline TestFrame guard_frame(const TestFrame& like) {
  TestFrame f(like.w, like.h, kGuard);
  return f;
}

inline bool guards_intact(const TestFrame& f) {
  for (int32_t y = 0; y < f.h; ++y)
    for (int32_t x = f.w; x < f.stride; ++x) {
      const PIXEL_YC& p = f.at(x, y);
      if (p.y != kGuard.y || p.cb != kGuard.cb || p.cr != kGuard.cr) return false;
    }
  return true;
}

inline bool same_pixel(const PIXEL_YC& a, const PIXEL_YC& b) {
  return a.y == b.y && a.cb == b.cb && a.cr == b.cr;
}

// Counts pixels of the w x h area that differ between two frames.
inline int32_t count_differences(const TestFrame& a, const TestFrame& b) {
  int32_t n = 0;
  for (int32_t y = 0; y < a.h; ++y)
    for (int32_t x = 0; x < a.w; ++x) n += same_pixel(a.at(x, y), b.at(x, y)) ? 0 : 1;
  return n;
}

// Fills luma with base + uniform noise in [-spread, spread] and chroma with
// uniform values in [-chroma, chroma].
inline void fill_noise(TestFrame& f, uint32_t seed, int32_t base, int32_t spread, int32_t chroma) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int32_t> luma(base - spread, base + spread);
  std::uniform_int_distribution<int32_t> colour(-chroma, chroma);
  for (int32_t y = 0; y < f.h; ++y)
    for (int32_t x = 0; x < f.w; ++x)
      f.at(x, y) = PIXEL_YC{static_cast<int16_t>(luma(rng)), static_cast<int16_t>(colour(rng)),
                            static_cast<int16_t>(colour(rng))};
}

// Runs a row function the way the driver does: one call per worker stripe.
template <typename Job, typename RowFn>
void run_in_stripes(const Job& job, int32_t workers, RowFn rows) {
  for (int32_t t = 0; t < workers; ++t) {
    const RowRange r = worker_rows(t, workers, job.h);
    rows(job, r.begin, r.end);
  }
}

}  // namespace prefilter_test
