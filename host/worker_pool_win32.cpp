// Worker pool on Win32 threads, for toolchains whose standard library has no
// threads. Each worker waits on its own auto-reset start event; run() posts
// the job, signals every start event and waits on one manual-reset done
// event, which the worker that brings the pending count to zero signals.
// Signalling and waiting on events are full memory barriers, so the job
// fields written before SetEvent are seen by the workers, and their results
// are seen by the caller after the wait. A worker waits for its start event
// again only after finishing, and run() posts the next job only after all
// workers have finished, so each worker runs each job exactly once.
#if defined(_WIN32)
#include <windows.h>

#include <vector>

#include "host/worker_pool.h"

int default_worker_count() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? static_cast<int>(info.dwNumberOfProcessors) : 1;
}

struct WorkerPool::Impl {
  struct Worker {
    Impl* pool;
    int thread_id;
    HANDLE start;   // auto-reset: a job was posted (or the pool is stopping)
    HANDLE thread;
  };

  CRITICAL_SECTION run_lock;  // serialises run() calls from different threads
  HANDLE done = nullptr;      // manual-reset: the last worker of a job finished
  volatile LONG pending = 0;
  bool stopping = false;
  MULTI_THREAD_FUNC func = nullptr;
  void* param1 = nullptr;
  void* param2 = nullptr;
  int thread_num = 0;
  std::vector<Worker> workers;  // sized once; the threads keep pointers into it

  static DWORD WINAPI work(LPVOID arg) {
    Worker* self = static_cast<Worker*>(arg);
    Impl* pool = self->pool;
    for (;;) {
      WaitForSingleObject(self->start, INFINITE);
      if (pool->stopping) return 0;
      pool->func(self->thread_id, pool->thread_num, pool->param1, pool->param2);
      if (InterlockedDecrement(&pool->pending) == 0) SetEvent(pool->done);
    }
  }
};

WorkerPool::WorkerPool(int worker_count) : impl_(new Impl) {
  Impl& pool = *impl_;
  pool.thread_num = worker_count > 0 ? worker_count : default_worker_count();
  InitializeCriticalSection(&pool.run_lock);
  pool.done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  pool.workers.resize(pool.thread_num);
  for (int t = 0; t < pool.thread_num; ++t) {
    Impl::Worker& worker = pool.workers[t];
    worker.pool = &pool;
    worker.thread_id = t;
    worker.start = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    worker.thread = CreateThread(nullptr, 0, &Impl::work, &worker, 0, nullptr);
  }
}

WorkerPool::~WorkerPool() {
  Impl& pool = *impl_;
  EnterCriticalSection(&pool.run_lock);
  pool.stopping = true;
  for (Impl::Worker& worker : pool.workers) SetEvent(worker.start);
  for (Impl::Worker& worker : pool.workers) {
    WaitForSingleObject(worker.thread, INFINITE);
    CloseHandle(worker.thread);
    CloseHandle(worker.start);
  }
  CloseHandle(pool.done);
  LeaveCriticalSection(&pool.run_lock);
  DeleteCriticalSection(&pool.run_lock);
}

int WorkerPool::size() const { return impl_->thread_num; }

void WorkerPool::run(MULTI_THREAD_FUNC func, void* param1, void* param2) {
  Impl& pool = *impl_;
  EnterCriticalSection(&pool.run_lock);
  pool.func = func;
  pool.param1 = param1;
  pool.param2 = param2;
  pool.pending = pool.thread_num;
  ResetEvent(pool.done);
  for (Impl::Worker& worker : pool.workers) SetEvent(worker.start);
  WaitForSingleObject(pool.done, INFINITE);
  LeaveCriticalSection(&pool.run_lock);
}
#endif  // _WIN32
