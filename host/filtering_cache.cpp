#include "host/filtering_cache.h"

#include <algorithm>

#include "host/stand_in_host.h"

void fill_stale_outside(PIXEL_YC* buffer, int max_w, int max_h, int w, int h) {
  for (int y = 0; y < max_h; ++y) {
    PIXEL_YC* row = buffer + static_cast<size_t>(y) * max_w;
    std::fill(row + (y < h ? w : 0), row + max_w, kStalePixel);
  }
}

void FilteringCache::bind(FrameSource* clip, int max_w, int max_h) {
  const Binding binding{clip, clip->width(), clip->height(), clip->frame_count(), max_w, max_h};
  if (!(binding == binding_)) {
    flush();
    if (binding.max_w != binding_.max_w || binding.max_h != binding_.max_h) spares_.clear();
  }
  binding_ = binding;
  clip_ = clip;
}

void FilteringCache::flush() {
  for (Entry& e : entries_) spares_.push_back(std::move(e.pixels));
  entries_.clear();
}

void FilteringCache::set_frames_needed(int frames) {
  capacity_ = std::max(frames, 1) + kMargin;
}

PIXEL_YC* FilteringCache::fetch(int n) {
  if (clip_ == nullptr || n < 0 || n >= clip_->frame_count()) return nullptr;
  if (fails_ && fails_(n)) return nullptr;

  auto held = std::find_if(entries_.begin(), entries_.end(),
                           [n](const Entry& e) { return e.frame == n; });
  if (held != entries_.end()) {
    std::rotate(entries_.begin(), held, held + 1);  // now the most recent
    return entries_.front().pixels.get();
  }

  // The frame is read into the spare buffer; the least recently fetched
  // frames beyond the capacity then give up theirs as the next spare. A cache
  // that steps through a clip thus touches no fresh memory, and a frame that
  // cannot be read drops nothing. The clip rewrites the picture area, so only
  // the area around it needs the stale pattern again.
  if (spares_.empty()) {
    spares_.emplace_back(new PIXEL_YC[static_cast<size_t>(binding_.max_w) * binding_.max_h]);
  }
  // A clip whose frames fill the whole buffer may hand its own buffer over.
  const bool whole = binding_.width == binding_.max_w && binding_.height == binding_.max_h;
  if (!whole || !clip_->exchange_frame(n, spares_.back())) {
    PIXEL_YC* spare = spares_.back().get();
    fill_stale_outside(spare, binding_.max_w, binding_.max_h, binding_.width, binding_.height);
    if (!clip_->read_frame(n, spare, binding_.max_w)) return nullptr;
  }
  std::unique_ptr<PIXEL_YC[]> pixels = std::move(spares_.back());
  spares_.pop_back();
  while (static_cast<int>(entries_.size()) >= capacity_) {
    spares_.push_back(std::move(entries_.back().pixels));
    entries_.pop_back();
  }
  entries_.insert(entries_.begin(), Entry{n, std::move(pixels)});
  return entries_.front().pixels.get();
}