#include "cli/streaming_source.h"

#include <algorithm>
#include <cstring>

namespace {

int round_up_16(int v) { return (v + 15) / 16 * 16; }

// Mirrors the clip_w x clip_h picture into the padding of a width x height
// frame (rows `stride` pixels apart). Needs clip_w > (width - 1) / 2 and the
// same for the height, which the minimum frame size guarantees.
void mirror_padding(PIXEL_YC* frame, int stride, int width, int height, int clip_w, int clip_h) {
  if (width > clip_w) {
    for (int r = 0; r < clip_h; ++r) {
      PIXEL_YC* row = frame + size_t(r) * stride;
      for (int x = clip_w; x < width; ++x) row[x] = row[2 * clip_w - 2 - x];
    }
  }
  for (int r = clip_h; r < height; ++r) {
    std::memcpy(frame + size_t(r) * stride, frame + size_t(2 * clip_h - 2 - r) * stride,
                sizeof(PIXEL_YC) * size_t(width));
  }
}

}  // namespace

StreamingSource::StreamingSource(ClipInput& input, int read_ahead, int64_t first)
    : input_(input), clip_width_(input.format().width), clip_height_(input.format().height),
      width_(round_up_16(clip_width_)), height_(round_up_16(clip_height_)),
      reader_(input, read_ahead, first), first_(first), decoded_(first) {}

int StreamingSource::width() const { return width_; }
int StreamingSource::height() const { return height_; }

int StreamingSource::frame_count() const { return int(decoded_); }

void StreamingSource::fill_through(int64_t last) {
  while (!end_seen_ && decoded_ <= last) {
    std::vector<uint8_t> payload;
    if (!reader_.next(payload)) {
      end_seen_ = true;
      break;
    }
    if (frames_.empty()) first_ = decoded_;
    frames_.push_back(std::move(payload));
    ++decoded_;
  }
}

void StreamingSource::drop_before(int64_t first) {
  while (!frames_.empty() && first_ < first) {
    reader_.recycle(std::move(frames_.front()));
    frames_.pop_front();
    ++first_;
  }
  if (frames_.empty()) first_ = decoded_;
  if (end_seen_ || decoded_ >= first) return;
  reader_.skip_before(first);
  while (decoded_ < first) {
    if (!reader_.skip()) {
      end_seen_ = true;
      break;
    }
    ++decoded_;
    first_ = decoded_;
  }
}

void StreamingSource::stop_reading() { reader_.stop(); }

bool StreamingSource::holds(int64_t n) const {
  return n >= first_ && n < first_ + int64_t(frames_.size());
}

const uint8_t* StreamingSource::payload(int64_t n) const {
  return holds(n) ? frames_[size_t(n - first_)].data() : nullptr;
}

bool StreamingSource::convert_frame(int64_t n, PIXEL_YC* dst, int stride) const {
  const uint8_t* frame = payload(n);
  if (!frame) return false;
  input_.payload_to_host(frame, dst, stride);
  mirror_padding(dst, stride, width_, height_, clip_width_, clip_height_);
  return true;
}

bool StreamingSource::convert_row(int64_t n, int r, PIXEL_YC* dst) const {
  const uint8_t* frame = payload(n);
  if (!frame) return false;
  // With a stride of 0 the one row converted lands at dst itself.
  input_.payload_to_host(frame, dst, 0, r, r + 1);
  return true;
}

bool StreamingSource::read_frame(int n, PIXEL_YC* dst, int stride) {
  // The host asks only for frames of the clip (0 <= n < frame_count()).
  const uint8_t* frame = payload(n);
  if (!frame) {
    if (window_fault_ < 0) window_fault_ = n;
    return false;
  }
  const int split = clip_height_ / 2;
  converter_.start([=, this] { input_.payload_to_host(frame, dst, stride, split, clip_height_); });
  input_.payload_to_host(frame, dst, stride, 0, split);
  converter_.wait();
  mirror_padding(dst, stride, width_, height_, clip_width_, clip_height_);
  return true;
}
