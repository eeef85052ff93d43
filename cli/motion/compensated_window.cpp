#include "cli/motion/compensated_window.h"

#include <algorithm>
#include <exception>
#include <thread>

#include "cli/motion/block_vectors.h"
#include "plugin/padded_frame.h"

CompensatedWindow::CompensatedWindow(StreamingSource& source, const MotionTrack& track, bool fields, bool blocks)
    : source_(source), track_(track), fields_(fields), blocks_(blocks) {}

void CompensatedWindow::move(int64_t frame, Moved& into, std::vector<PIXEL_YC>& scratch,
                             std::vector<PIXEL_YC>& translated) const {
  const int w = source_.width(), h = source_.height();
  scratch.resize(size_t(w) * size_t(h));
  into.pixels.resize(scratch.size());
  into.frame = frame;
  source_.convert_frame(frame, scratch.data(), w);
  const WarpFrame geometry{source_.clip_width(), source_.clip_height(), w, h, w, w};
  const Translation offset = track_.offset(frame, centre_);
  if (!blocks_) {
    warp_frame(scratch.data(), centre_pixels_.data(), into.pixels.data(), geometry, offset, fields_);
    return;
  }
  translated.resize(scratch.size());
  warp_frame(scratch.data(), centre_pixels_.data(), translated.data(), geometry, offset, fields_);
  move_blocks(centre_luma_, translated.data(), into.pixels.data(), geometry.width, geometry.height, w, fields_);
  mirror_padding(into.pixels.data(), geometry);
}

void CompensatedWindow::set_window(int64_t first, int64_t count, int64_t centre, int radius) {
  first_ = first;
  count_ = count;
  centre_ = centre;
  const int w = source_.width(), h = source_.height();
  centre_pixels_.resize(size_t(w) * size_t(h));
  source_.convert_frame(centre, centre_pixels_.data(), w);
  if (blocks_) centre_luma_ = matching_luma(centre_pixels_.data(), source_.clip_width(), source_.clip_height(), w);
  std::vector<int64_t> frames;
  for (int k = -radius; k <= radius; ++k) {
    const int64_t n = first + mirror_index(centre - first + k, int32_t(std::max<int64_t>(count, 1)));
    if (n != centre && std::find(frames.begin(), frames.end(), n) == frames.end()) frames.push_back(n);
  }
  moved_.resize(frames.size());
  auto work = [&](size_t from, std::vector<PIXEL_YC>& scratch) {
    for (size_t i = from; i < frames.size(); i += 2) move(frames[i], moved_[i], scratch, translated_[from]);
  };
  // The second thread is joined whatever either of them throws.
  std::exception_ptr failed;
  std::thread second([&] {
    try {
      work(1, scratch_[1]);
    } catch (...) {
      failed = std::current_exception();
    }
  });
  try {
    work(0, scratch_[0]);
  } catch (...) {
    second.join();
    throw;
  }
  second.join();
  if (failed) std::rethrow_exception(failed);
}

bool CompensatedWindow::read_frame(int n, PIXEL_YC* dst, int stride) {
  const int64_t frame = first_ + n;
  if (!source_.holds(frame)) return source_.read_frame(int(frame), dst, stride);  // records the fault
  const int w = source_.width(), h = source_.height();
  const PIXEL_YC* pixels = centre_pixels_.data();
  if (frame != centre_) {
    auto it = std::find_if(moved_.begin(), moved_.end(), [&](const Moved& m) { return m.frame == frame; });
    if (it == moved_.end()) {
      moved_.emplace_back();
      move(frame, moved_.back(), scratch_[0], translated_[0]);
      it = moved_.end() - 1;
    }
    pixels = it->pixels.data();
  }
  for (int r = 0; r < h; ++r) std::copy_n(pixels + size_t(r) * size_t(w), w, dst + size_t(r) * size_t(stride));
  return true;
}
