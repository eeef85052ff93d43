#include "engine/worker_rows.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Every row belongs to exactly one worker, the ranges follow one another in
// worker order, and each is t * rows / n rounded down.
TEST(WorkerRows, RangesCoverEveryRowOnceInWorkerOrder) {
  for (int32_t rows : {0, 1, 7, 480, 1088, 1120}) {
    for (int workers = 1; workers <= 9; ++workers) {
      std::vector<int> owner(static_cast<size_t>(rows), -1);
      int32_t next = 0;
      for (int t = 0; t < workers; ++t) {
        const RowRange r = worker_rows(t, workers, rows);
        EXPECT_EQ(r.begin, next) << rows << " rows, worker " << t << " of " << workers;
        EXPECT_EQ(r.begin, t * rows / workers);
        for (int32_t y = r.begin; y < r.end; ++y) {
          EXPECT_EQ(owner[static_cast<size_t>(y)], -1) << "row " << y;
          owner[static_cast<size_t>(y)] = t;
        }
        next = r.end;
      }
      EXPECT_EQ(next, rows) << rows << " rows over " << workers << " workers";
    }
  }
}

#ifndef NDEBUG
TEST(WorkerRowsDeathTest, AWorkerOutsideThePassIsAProgrammingError) {
  EXPECT_DEATH(worker_rows(2, 2, 100), "thread_id < thread_num");
  EXPECT_DEATH(worker_rows(0, 0, 100), "thread_num >= 1");
  EXPECT_DEATH(worker_rows(0, 1, -1), "rows >= 0");
}
#endif

}  // namespace
