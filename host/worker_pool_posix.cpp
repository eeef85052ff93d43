// Worker pool on standard threads: one mutex guards the job, a generation
// counter tells each worker that a new job has been posted, and a pending
// count tells run() when the last worker is done. A worker takes the next
// generation only after finishing the current one, and run() posts the next
// job only after every worker has finished, so each worker runs each job
// exactly once.
#if !defined(_WIN32)
#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "host/worker_pool.h"

int default_worker_count() {
  return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

struct WorkerPool::Impl {
  std::mutex run_mutex;  // serialises run() calls from different threads
  std::mutex mutex;      // guards everything below
  std::condition_variable job_posted;
  std::condition_variable job_done;
  uint64_t generation = 0;
  int pending = 0;
  bool stopping = false;
  MULTI_THREAD_FUNC func = nullptr;
  void* param1 = nullptr;
  void* param2 = nullptr;
  int thread_num = 0;  // fixed before the first worker starts
  std::vector<std::thread> threads;

  void work(int thread_id) {
    uint64_t seen = 0;
    for (;;) {
      MULTI_THREAD_FUNC job;
      void* p1;
      void* p2;
      {
        std::unique_lock<std::mutex> lock(mutex);
        job_posted.wait(lock, [&] { return stopping || generation != seen; });
        if (stopping) return;
        seen = generation;
        job = func;
        p1 = param1;
        p2 = param2;
      }
      job(thread_id, thread_num, p1, p2);
      std::lock_guard<std::mutex> lock(mutex);
      if (--pending == 0) job_done.notify_one();
    }
  }
};

WorkerPool::WorkerPool(int worker_count) : impl_(std::make_unique<Impl>()) {
  const int n = worker_count > 0 ? worker_count : default_worker_count();
  impl_->thread_num = n;
  impl_->threads.reserve(n);
  for (int t = 0; t < n; ++t) impl_->threads.emplace_back([this, t] { impl_->work(t); });
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->stopping = true;
  }
  impl_->job_posted.notify_all();
  for (std::thread& thread : impl_->threads) thread.join();
}

int WorkerPool::size() const { return impl_->thread_num; }

void WorkerPool::run(MULTI_THREAD_FUNC func, void* param1, void* param2) {
  std::lock_guard<std::mutex> serial(impl_->run_mutex);
  std::unique_lock<std::mutex> lock(impl_->mutex);
  impl_->func = func;
  impl_->param1 = param1;
  impl_->param2 = param2;
  impl_->pending = size();
  ++impl_->generation;
  impl_->job_posted.notify_all();
  impl_->job_done.wait(lock, [&] { return impl_->pending == 0; });
}
#endif  // !_WIN32
