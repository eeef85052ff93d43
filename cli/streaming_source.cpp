#include "cli/streaming_source.h"

#include <algorithm>
#include <cstring>

namespace {

int round_up_16(int v) { return (v + 15) / 16 * 16; }

// Mirrors the clip_w x clip_h picture into the padding of a width x height
// frame. Needs clip_w > (width - 1) / 2 and the same for the height, which
// the minimum frame size guarantees.
void mirror_padding(PIXEL_YC* frame, int width, int height, int clip_w, int clip_h) {
  for (int r = 0; r < clip_h; ++r) {
    PIXEL_YC* row = frame + size_t(r) * width;
    for (int x = clip_w; x < width; ++x) row[x] = row[2 * clip_w - 2 - x];
  }
  for (int r = clip_h; r < height; ++r) {
    std::memcpy(frame + size_t(r) * width, frame + size_t(2 * clip_h - 2 - r) * width,
                sizeof(PIXEL_YC) * size_t(width));
  }
}

}  // namespace

StreamingSource::StreamingSource(ClipInput& input)
    : input_(input), clip_width_(input.format().width), clip_height_(input.format().height),
      width_(round_up_16(clip_width_)), height_(round_up_16(clip_height_)) {}

int StreamingSource::width() const { return width_; }
int StreamingSource::height() const { return height_; }

int StreamingSource::frame_count() const { return int(decoded_); }

void StreamingSource::fill_through(int64_t last) {
  while (!end_seen_ && decoded_ <= last) {
    std::vector<PIXEL_YC> buffer;
    if (!spare_.empty()) {
      buffer = std::move(spare_.back());
      spare_.pop_back();
    }
    buffer.resize(size_t(width_) * size_t(height_));
    if (!input_.read_frame(buffer.data(), width_)) {
      end_seen_ = true;
      spare_.push_back(std::move(buffer));
      break;
    }
    mirror_padding(buffer.data(), width_, height_, clip_width_, clip_height_);
    if (frames_.empty()) first_ = decoded_;
    frames_.push_back(std::move(buffer));
    ++decoded_;
  }
}

void StreamingSource::drop_before(int64_t first) {
  while (!frames_.empty() && first_ < first) {
    spare_.push_back(std::move(frames_.front()));
    frames_.pop_front();
    ++first_;
  }
  if (frames_.empty()) first_ = decoded_;
  while (!end_seen_ && decoded_ < first) {
    if (!input_.skip_frame()) {
      end_seen_ = true;
      break;
    }
    ++decoded_;
    first_ = decoded_;
  }
  // One spare buffer is enough to keep the window from reallocating.
  if (spare_.size() > 1) spare_.resize(1);
}

const PIXEL_YC* StreamingSource::frame(int64_t n) const {
  if (n < first_ || n >= first_ + int64_t(frames_.size())) return nullptr;
  return frames_[size_t(n - first_)].data();
}

bool StreamingSource::read_frame(int n, PIXEL_YC* dst, int stride) {
  // The host asks only for frames of the clip (0 <= n < frame_count()).
  const PIXEL_YC* src = frame(n);
  if (!src) {
    if (window_fault_ < 0) window_fault_ = n;
    return false;
  }
  for (int r = 0; r < height_; ++r) {
    std::memcpy(dst + size_t(r) * stride, src + size_t(r) * width_, sizeof(PIXEL_YC) * size_t(width_));
  }
  return true;
}
