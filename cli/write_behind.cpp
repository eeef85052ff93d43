#include "cli/write_behind.h"

#include <stdexcept>

WriteBehind::WriteBehind(ClipOutput& output, size_t pixels, int stride, int depth)
    : output_(output), stride_(stride), pixels_(pixels),
      // One buffer to render into plus `depth` waiting or being written.
      buffer_limit_(depth < 1 ? 2 : depth + 1) {
  thread_ = std::thread([this] { run(); });
}

WriteBehind::~WriteBehind() { stop(); }

void WriteBehind::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void WriteBehind::throw_if_failed() {
  if (error_) std::rethrow_exception(error_);
}

void WriteBehind::run() {
  for (;;) {
    std::vector<PIXEL_YC> frame;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return stopping_ || !queued_.empty(); });
      // Stopping leaves what is still queued unwritten: finish() waits for
      // the queue to drain before it stops the writer.
      if (stopping_) return;
      frame = std::move(queued_.front());
      queued_.pop_front();
      writing_ = true;
    }
    std::exception_ptr error;
    try {
      output_.write_frame(frame.data(), stride_);
    } catch (...) {
      error = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      free_.push_back(std::move(frame));
      writing_ = false;
      if (error) {
        error_ = error;
        queued_.clear();
      }
    }
    changed_.notify_all();
    if (error) return;
  }
}

PIXEL_YC* WriteBehind::acquire() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (current_.empty()) {
    // A buffer is added only when none is free: a writer that keeps up
    // needs two.
    changed_.wait(lock, [&] { return error_ || !free_.empty() || buffers_ < buffer_limit_; });
    throw_if_failed();
    if (!free_.empty()) {
      current_ = std::move(free_.back());
      free_.pop_back();
    } else {
      ++buffers_;
      lock.unlock();
      current_.resize(pixels_);
    }
  }
  return current_.data();
}

void WriteBehind::submit() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    throw_if_failed();
    if (current_.empty()) throw std::logic_error("submit() without acquire()");
    queued_.push_back(std::move(current_));
    current_.clear();
  }
  changed_.notify_all();
}

void WriteBehind::finish() {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return error_ || (queued_.empty() && !writing_); });
    throw_if_failed();
  }
  stop();
  output_.finish();
}
