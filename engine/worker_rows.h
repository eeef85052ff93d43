#pragma once
// The split of a frame's rows over the workers of a row-parallel pass: worker
// t of n owns rows [t * rows / n, (t + 1) * rows / n), divisions truncating.
// Consecutive workers' ranges meet exactly, so together they cover
// 0 .. rows-1 once whatever the worker count; with more workers than rows
// some ranges are empty.
#include <cassert>
#include <cstdint>

struct RowRange {
  int32_t begin = 0;
  int32_t end = 0;  // one past the last row
};

// The worker must be one of the pass's workers and the row count not
// negative. The products are formed in 64 bits, so no worker count overflows.
inline RowRange worker_rows(int thread_id, int thread_num, int32_t rows) {
  assert(thread_num >= 1 && thread_id >= 0 && thread_id < thread_num && rows >= 0);
  return {static_cast<int32_t>(static_cast<int64_t>(thread_id) * rows / thread_num),
          static_cast<int32_t>(static_cast<int64_t>(thread_id + 1) * rows / thread_num)};
}
