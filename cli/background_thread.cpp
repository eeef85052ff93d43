#include "cli/background_thread.h"

#include <stdexcept>
#include <utility>

BackgroundThread::BackgroundThread() : thread_([this] { run(); }) {}

BackgroundThread::~BackgroundThread() {
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !in_hand_; });
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void BackgroundThread::start(std::function<void()> job) {
  {
    std::lock_guard lock(mutex_);
    if (in_hand_) throw std::logic_error("BackgroundThread: a job was handed over before the last one was waited for");
    job_ = std::move(job);
    in_hand_ = true;
    failed_ = nullptr;
  }
  changed_.notify_all();
}

void BackgroundThread::wait() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return !in_hand_; });
  if (failed_) std::rethrow_exception(std::exchange(failed_, nullptr));
}

bool BackgroundThread::busy() const {
  std::lock_guard lock(mutex_);
  return in_hand_;
}

void BackgroundThread::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return stopping_ || (in_hand_ && job_); });
    if (stopping_) return;
    std::function<void()> job = std::exchange(job_, nullptr);
    lock.unlock();
    std::exception_ptr failed;
    try {
      job();
    } catch (...) {
      failed = std::current_exception();
    }
    lock.lock();
    failed_ = failed;
    in_hand_ = false;
    changed_.notify_all();
  }
}
