#pragma once
// One thread kept for the whole run that does one job at a time while the
// thread that gave it goes on. A thread started afresh for every job would
// also start its thread-local work buffers afresh (megabytes of new pages
// for every frame); this one keeps them.
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

class BackgroundThread {
 public:
  BackgroundThread();
  // Waits for the job in hand, if any (what it throws is dropped), and
  // ends the thread.
  ~BackgroundThread();
  BackgroundThread(const BackgroundThread&) = delete;
  BackgroundThread& operator=(const BackgroundThread&) = delete;

  // Hands the thread a job; the one before must have been waited for.
  void start(std::function<void()> job);
  // Waits until the job handed over last has finished (at once if none
  // is in hand) and throws what it threw.
  void wait();
  bool busy() const;

 private:
  void run();

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::function<void()> job_;
  bool in_hand_ = false;
  bool stopping_ = false;
  std::exception_ptr failed_;
  std::thread thread_;  // last, so that it starts once the rest is set up
};
