#include "host/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

constexpr int kMaxWorkers = 5;

// What one job saw: how often each thread_id ran, the thread_num each worker
// was told, and a result written after a short sleep.
struct JobRecord {
  std::atomic<int> runs[kMaxWorkers] = {};
  std::atomic<int> other_ids{0};
  int thread_num_seen[kMaxWorkers] = {};
  int result[kMaxWorkers] = {};
  std::thread::id thread_of[kMaxWorkers];
};

void record_job(int thread_id, int thread_num, void* param1, void* param2) {
  auto* record = static_cast<JobRecord*>(param1);
  const int call = *static_cast<int*>(param2);
  if (thread_id < 0 || thread_id >= kMaxWorkers) {
    record->other_ids.fetch_add(1);
    return;
  }
  record->runs[thread_id].fetch_add(1);
  record->thread_num_seen[thread_id] = thread_num;
  record->thread_of[thread_id] = std::this_thread::get_id();
  // Every few calls the workers finish late, so a run() that returned
  // before all of them were done would leave results missing.
  if (call % 8 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1 + thread_id));
  record->result[thread_id] = call * 100 + thread_id + 1;
}

}  // namespace

TEST(WorkerPool, EveryThreadIdRunsOncePerCallAndRunWaitsForAll) {
  for (int workers = 1; workers <= kMaxWorkers; ++workers) {
    SCOPED_TRACE(workers);
    WorkerPool pool(workers);
    ASSERT_EQ(pool.size(), workers);
    std::vector<std::thread::id> first_threads;
    for (int call = 0; call < 100; ++call) {
      JobRecord record;
      pool.run(&record_job, &record, &call);
      ASSERT_EQ(record.other_ids.load(), 0);
      for (int t = 0; t < kMaxWorkers; ++t) {
        const bool expected = t < workers;
        ASSERT_EQ(record.runs[t].load(), expected ? 1 : 0) << "call " << call << " id " << t;
        if (!expected) continue;
        ASSERT_EQ(record.thread_num_seen[t], workers);
        ASSERT_EQ(record.result[t], call * 100 + t + 1) << "call " << call << " id " << t;
      }
      // The workers are persistent: thread_id t runs on the same thread at
      // every call, and no two ids share a thread or use the caller's.
      std::vector<std::thread::id> threads(record.thread_of, record.thread_of + workers);
      if (call == 0) {
        first_threads = threads;
        for (int a = 0; a < workers; ++a) {
          EXPECT_NE(threads[a], std::this_thread::get_id());
          for (int b = a + 1; b < workers; ++b) EXPECT_NE(threads[a], threads[b]);
        }
      } else {
        ASSERT_EQ(threads, first_threads) << "call " << call;
      }
    }
  }
}

TEST(WorkerPool, ZeroWorkersMeansOnePerProcessor) {
  EXPECT_GE(default_worker_count(), 1);
  WorkerPool pool(0);
  EXPECT_EQ(pool.size(), default_worker_count());
}

namespace {
void add_row_sums(int thread_id, int thread_num, void* param1, void* param2) {
  auto* rows = static_cast<std::vector<int>*>(param1);
  const int add = *static_cast<int*>(param2);
  const int n = static_cast<int>(rows->size());
  for (int i = thread_id * n / thread_num; i < (thread_id + 1) * n / thread_num; ++i)
    (*rows)[i] += add + i;
}
}  // namespace

// Callers on several threads share one pool; each job still covers all
// rows once, which fails if two jobs were mixed on the workers.
TEST(WorkerPool, JobsFromSeveralCallersDoNotMix) {
  WorkerPool pool(3);
  constexpr int kCallers = 4;
  constexpr int kRows = 37;
  std::vector<std::vector<int>> rows(kCallers, std::vector<int>(kRows, 0));
  std::vector<std::thread> callers;
  for (int c = 0; c < kCallers; ++c) {
    callers.emplace_back([&, c] {
      int add = c + 1;
      for (int repeat = 0; repeat < 50; ++repeat) pool.run(&add_row_sums, &rows[c], &add);
    });
  }
  for (std::thread& caller : callers) caller.join();
  for (int c = 0; c < kCallers; ++c)
    for (int i = 0; i < kRows; ++i) EXPECT_EQ(rows[c][i], 50 * (c + 1 + i)) << c << " " << i;
}
