#pragma once
// A fixed set of persistent worker threads that runs one job at a time: run()
// hands the job to every worker, worker t calling func(t, size(), param1,
// param2) exactly once, and returns only when all of them have finished. This
// is what the host's exec_multi_thread_func promises the module.
//
// Two forms share this interface: worker_pool_posix.cpp (standard threads)
// and worker_pool_win32.cpp (Win32 threads and events, for toolchains whose
// standard library has no threads).
#include <memory>

#include "plugin/host_api.h"

// The number of processors the system reports, at least 1.
int default_worker_count();

class WorkerPool {
 public:
  // Starts worker_count threads (at least 1; 0 or less means
  // default_worker_count()).
  explicit WorkerPool(int worker_count);
  ~WorkerPool();  // stops and joins the workers
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  int size() const;

  // Runs func on every worker and waits for all of them. Calls from several
  // threads are served one after another. func must not call run() itself.
  void run(MULTI_THREAD_FUNC func, void* param1, void* param2);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
