#include "cli/motion/compensated_window.h"

#include <algorithm>
#include <utility>

#include "cli/motion/block_vectors.h"
#include "plugin/padded_frame.h"

CompensatedWindow::CompensatedWindow(StreamingSource& source, MotionTrack& track, bool fields, bool blocks)
    : source_(source), track_(track), fields_(fields), blocks_(blocks) {}

CompensatedWindow::~CompensatedWindow() {
  try {
    settle();
  } catch (...) {
  }
}

void CompensatedWindow::move(const Lined& window, int64_t frame, Moved& into, std::vector<PIXEL_YC>& row) const {
  const int w = source_.width(), h = source_.height();
  if (!into.pixels) into.pixels.reset(new PIXEL_YC[size_t(w) * size_t(h)]);
  into.frame = frame;
  // The frame's rows are converted one at a time as the move reads them,
  // into a row that stays in the cache, instead of a whole frame first.
  row.resize(size_t(source_.clip_width()));
  const SourceRow source_row = [&](int r) {
    source_.convert_row(frame, r, row.data());
    return row.data();
  };
  WarpFrame geometry{source_.clip_width(), source_.clip_height(), w, h, w, w};
  // Blocks move whole pixels, an odd pixel's chroma onto an even place.
  geometry.even_chroma = window.span.even_chroma && !blocks_;
  const Translation offset = track_.offset(frame, window.span.centre);
  warp_frame(source_row, window.centre_pixels.data(), into.pixels.get(), geometry, offset, fields_);
  if (!blocks_) return;
  // Moved by the camera, then block by block in place.
  move_blocks(window.centre_luma, into.pixels.get(), into.pixels.get(), geometry.width, geometry.height, w,
              fields_);
  mirror_padding(into.pixels.get(), geometry);
}

std::vector<int64_t> CompensatedWindow::window_frames(const WindowSpan& span) {
  std::vector<int64_t> frames;
  const int32_t count = int32_t(std::max<int64_t>(span.count, 1));
  for (int k = -span.radius; k <= span.radius; ++k) {
    const int64_t n = span.first + mirror_index(span.centre - span.first + k, count);
    if (n != span.centre && std::find(frames.begin(), frames.end(), n) == frames.end()) frames.push_back(n);
  }
  return frames;
}

void CompensatedWindow::track_through(int64_t last) {
  std::lock_guard lock(tracking_);
  while (track_.frames() <= last) track_.add_frame(source_.payload(track_.frames()));
}

void CompensatedWindow::line_up(Lined& into, const WindowSpan& span) {
  into.span = span;
  const int w = source_.width(), h = source_.height();
  into.centre_pixels.resize(size_t(w) * size_t(h));
  source_.convert_frame(span.centre, into.centre_pixels.data(), w);
  if (blocks_) {
    into.centre_luma = matching_luma(into.centre_pixels.data(), source_.clip_width(), source_.clip_height(), w);
  }
  into.frames = window_frames(span);
  const std::vector<int64_t>& frames = into.frames;
  // Entries past the frames moved at once keep their buffers (marked
  // unused), so that a later window reuses memory already touched.
  if (into.moved.size() < frames.size()) into.moved.resize(frames.size());
  for (size_t i = frames.size(); i < into.moved.size(); ++i) into.moved[i].frame = -1;
  auto work = [&](size_t from) {
    for (size_t i = from; i < frames.size(); i += 2) {
      move(into, frames[i], into.moved[i], into.source_row[from]);
    }
  };
  // The second thread is waited for whatever either of them throws.
  second_.start([&] { work(1); });
  try {
    work(0);
  } catch (...) {
    try {
      second_.wait();
    } catch (...) {
    }
    throw;
  }
  second_.wait();
}

void CompensatedWindow::set_window(const WindowSpan& span) {
  settle();
  // What was prepared holds the same frames lined up with the same centre
  // when it was asked for with the same centre and moved the same frames
  // (the scene's known length and the frames decoded may have grown since,
  // which changes neither).
  const bool prepared = next_ready_ && next_.span.first == span.first && next_.span.centre == span.centre &&
                        next_.span.radius == span.radius && next_.span.even_chroma == span.even_chroma &&
                        next_.frames == window_frames(span);
  next_ready_ = false;
  if (track_.frames() - 1 < span.first_tracked) track_.restart(span.first_tracked);
  track_.forget_before(span.first_tracked + 1);
  if (prepared) {
    std::swap(shown_, next_);
    shown_.span = span;
    return;
  }
  // The frames moved at once need the pairs through the last of them; the
  // rest of the span is tracked when a frame there is asked for, or by the
  // next window prepared.
  const std::vector<int64_t> frames = window_frames(span);
  int64_t last = span.centre;
  for (int64_t n : frames) last = std::max(last, n);
  track_through(std::min(last, span.last_tracked));
  line_up(shown_, span);
}

void CompensatedWindow::prepare(const WindowSpan& span) {
  settle();
  next_ready_ = false;
  if (track_.frames() - 1 < span.first_tracked) return;  // the track begins again there
  preparing_ = true;
  preparer_.start([this, span] {
    track_through(span.last_tracked);
    line_up(next_, span);
  });
}

void CompensatedWindow::settle() {
  if (!preparing_) return;
  preparing_ = false;
  preparer_.wait();
  next_ready_ = true;
}

CompensatedWindow::Moved& CompensatedWindow::moved_frame(int64_t frame) {
  auto it = std::find_if(shown_.moved.begin(), shown_.moved.end(), [&](const Moved& m) { return m.frame == frame; });
  if (it == shown_.moved.end()) {
    track_through(std::max(frame, shown_.span.centre));
    it = std::find_if(shown_.moved.begin(), shown_.moved.end(), [](const Moved& m) { return m.frame < 0; });
    if (it == shown_.moved.end()) it = shown_.moved.emplace(it);
    move(shown_, frame, *it, shown_.source_row[0]);
  }
  return *it;
}

bool CompensatedWindow::read_frame(int n, PIXEL_YC* dst, int stride) {
  const int64_t frame = shown_.span.first + n;
  if (!source_.holds(frame)) return source_.read_frame(int(frame), dst, stride);  // records the fault
  const int w = source_.width(), h = source_.height();
  const PIXEL_YC* pixels = frame == shown_.span.centre ? shown_.centre_pixels.data() : moved_frame(frame).pixels.get();
  for (int r = 0; r < h; ++r) std::copy_n(pixels + size_t(r) * size_t(w), w, dst + size_t(r) * size_t(stride));
  return true;
}

bool CompensatedWindow::exchange_frame(int n, std::unique_ptr<PIXEL_YC[]>& buffer) {
  const int64_t frame = shown_.span.first + n;
  if (frame == shown_.span.centre || !source_.holds(frame)) return false;
  Moved& moved = moved_frame(frame);
  std::swap(moved.pixels, buffer);
  moved.frame = -1;
  return true;
}
