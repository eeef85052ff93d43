#include "cli/read_ahead.h"

#include <stdexcept>

ReadAhead::ReadAhead(ClipInput& input, int ahead, int64_t first)
    : input_(input), ahead_(size_t(ahead < 1 ? 1 : ahead)) {
  thread_ = std::thread([this, first] { run(first); });
}

ReadAhead::~ReadAhead() { stop(); }

void ReadAhead::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void ReadAhead::run(int64_t first) {
  for (int64_t index = first;; ++index) {
    Entry entry{Entry::kFrame, {}, nullptr};
    bool skip = false;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return stopping_ || (ready_.size() < ahead_ && index <= last_); });
      if (stopping_) return;
      skip = index < skip_before_;
      if (!skip && !spare_.empty()) {
        entry.payload = std::move(spare_.back());
        spare_.pop_back();
      }
    }
    try {
      bool more;
      if (skip) {
        more = input_.skip_frame();
        entry.kind = Entry::kSkipped;
      } else {
        entry.payload.resize(input_.payload_bytes());
        more = input_.read_payload(entry.payload.data());
      }
      if (!more) entry = Entry{Entry::kEnd, {}, nullptr};
    } catch (...) {
      entry = Entry{Entry::kError, {}, std::current_exception()};
    }
    const bool last = entry.kind == Entry::kEnd || entry.kind == Entry::kError;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ready_.push_back(std::move(entry));
    }
    changed_.notify_all();
    if (last) return;
  }
}

ReadAhead::Entry ReadAhead::take() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return !ready_.empty(); });
  Entry entry = std::move(ready_.front());
  // The end and an error stay queued: every later call answers the same.
  if (entry.kind == Entry::kEnd || entry.kind == Entry::kError) {
    Entry copy{entry.kind, {}, entry.error};
    ready_.front() = std::move(entry);
    entry = std::move(copy);
  } else {
    ready_.pop_front();
  }
  lock.unlock();
  changed_.notify_all();
  return entry;
}

bool ReadAhead::next(std::vector<uint8_t>& frame) {
  Entry entry = take();
  if (entry.kind == Entry::kError) std::rethrow_exception(entry.error);
  if (entry.kind == Entry::kEnd) return false;
  // A frame below skip_before() must be taken with skip().
  if (entry.kind == Entry::kSkipped) throw std::logic_error("a skipped frame was asked for");
  recycle(std::move(frame));
  frame = std::move(entry.payload);
  return true;
}

bool ReadAhead::skip() {
  Entry entry = take();
  if (entry.kind == Entry::kError) std::rethrow_exception(entry.error);
  if (entry.kind == Entry::kEnd) return false;
  if (entry.kind == Entry::kFrame) recycle(std::move(entry.payload));
  return true;
}

void ReadAhead::skip_before(int64_t n) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (n > skip_before_) skip_before_ = n;
}

void ReadAhead::read_no_further_than(int64_t last) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    last_ = last;
  }
  changed_.notify_all();
}

void ReadAhead::recycle(std::vector<uint8_t>&& storage) {
  if (storage.capacity() == 0) return;
  std::lock_guard<std::mutex> lock(mutex_);
  // The reader needs at most one buffer per queued frame plus the one it fills.
  if (spare_.size() <= ahead_) spare_.push_back(std::move(storage));
}
