#pragma once
// The camera's translation between every two consecutive frames, to a
// fraction of a sample, as the frames are read; and from it the offset that
// lines any frame of a scene up with any other. Interlaced frames are
// measured on their top field, so the fields' own offset does not read as
// motion.
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "cli/analysis/global_motion.h"
#include "cli/analysis/picture.h"
#include "cli/video_format.h"

//
// One thread may add frames while others ask for offsets (a window is lined
// up ahead on a thread of its own): what add_frame changes is guarded, and
// its measuring runs outside the lock.
class MotionTrack {
 public:
  // The first frame added is clip frame `first` (a part of the clip read
  // from there: a pair depends on its two frames only).
  MotionTrack(const VideoFormat& format, PayloadLayout layout, bool fields, int64_t first = 0);

  // Starts again with clip frame `first` as the next frame added. Not while
  // another thread uses the track.
  void restart(int64_t first);

  // The next frame of the clip, as stored. One thread at a time.
  void add_frame(const uint8_t* payload);
  int64_t frames() const;  // the clip frame added next

  // The offset with which frame n lines up with frame f: f(x) ~ n(x - offset).
  // Both frames must be held (see forget_before) and should be of one scene.
  Translation offset(int64_t n, int64_t f) const;
  // Translations before frame f are no longer needed.
  void forget_before(int64_t f);

 private:
  Translation pair(int64_t t) const;  // between frames t - 1 and t

  VideoFormat format_;
  PayloadLayout layout_;
  bool fields_;
  mutable std::mutex mutex_;  // guards pairs_, base_ and added_
  std::unique_ptr<Pyramid> previous_;  // only add_frame and restart touch it
  std::deque<Translation> pairs_;  // pairs_[i] is pair(base_ + i)
  int64_t base_ = 1;
  int64_t added_ = 0;
};
