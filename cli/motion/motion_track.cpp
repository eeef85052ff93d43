#include "cli/motion/motion_track.h"

#include <algorithm>
#include <stdexcept>
#include <string>

MotionTrack::MotionTrack(const VideoFormat& format, PayloadLayout layout, bool fields, int64_t first)
    : format_(format), layout_(layout), fields_(fields), base_(first + 1), added_(first) {}

void MotionTrack::restart(int64_t first) {
  std::lock_guard lock(mutex_);
  previous_.reset();
  pairs_.clear();
  base_ = first + 1;
  added_ = first;
}

int64_t MotionTrack::frames() const {
  std::lock_guard lock(mutex_);
  return added_;
}

void MotionTrack::add_frame(const uint8_t* payload) {
  auto pyramid = std::make_unique<Pyramid>(build_pyramid(luma_from_payload(format_, layout_, payload, fields_)));
  const bool paired = previous_ != nullptr;
  Translation t;
  if (paired) {
    t = estimate_translation(*previous_, *pyramid);
    if (fields_) t.y *= 2;  // field rows to frame rows
  }
  previous_ = std::move(pyramid);
  std::lock_guard lock(mutex_);
  if (paired) pairs_.push_back(t);
  ++added_;
}

Translation MotionTrack::pair(int64_t t) const {
  if (t < base_ || t - base_ >= int64_t(pairs_.size())) {
    throw std::logic_error("MotionTrack: the pair ending at frame " + std::to_string(t) + " is not held (frames " +
                           std::to_string(base_) + ".." + std::to_string(base_ + int64_t(pairs_.size()) - 1) + ")");
  }
  return pairs_[size_t(t - base_)];
}

Translation MotionTrack::offset(int64_t n, int64_t f) const {
  std::lock_guard lock(mutex_);
  Translation sum;
  const int64_t lo = std::min(n, f), hi = std::max(n, f);
  for (int64_t t = lo + 1; t <= hi; ++t) {
    const Translation p = pair(t);
    sum.x += p.x;
    sum.y += p.y;
  }
  if (n > f) sum = {-sum.x, -sum.y};
  return sum;
}

void MotionTrack::forget_before(int64_t f) {
  std::lock_guard lock(mutex_);
  while (!pairs_.empty() && base_ < f) {
    pairs_.pop_front();
    ++base_;
  }
}
