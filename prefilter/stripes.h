#pragma once
// Row stripes of the row-parallel passes: worker t of n owns the rows
// [t * h / n, (t + 1) * h / n) of the padded frame, divisions truncating.
// Consecutive workers' stripes meet exactly, so together they cover 0 .. h-1
// once whatever the worker count.
#include <cstdint>

struct RowStripe {
  int32_t y0 = 0;  // first row
  int32_t y1 = 0;  // one past the last row
};

// A worker outside 0 .. n-1, or a count below 1, gets an empty stripe. The
// product is formed in 64 bits so that no worker count can overflow it.
inline RowStripe worker_row_stripe(int32_t thread_id, int32_t thread_num, int32_t h) {
  if (thread_num < 1 || thread_id < 0 || thread_id >= thread_num || h <= 0) return {};
  RowStripe s;
  s.y0 = static_cast<int32_t>(static_cast<int64_t>(thread_id) * h / thread_num);
  s.y1 = static_cast<int32_t>(static_cast<int64_t>(thread_id + 1) * h / thread_num);
  return s;
}
