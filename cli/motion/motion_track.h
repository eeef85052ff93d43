#pragma once
// The camera's translation between every two consecutive frames, to a
// fraction of a sample, as the frames are read; and from it the offset that
// lines any frame of a scene up with any other. Interlaced frames are
// measured on their top field, so the fields' own offset does not read as
// motion.
#include <cstdint>
#include <deque>
#include <memory>

#include "cli/analysis/global_motion.h"
#include "cli/analysis/picture.h"
#include "cli/video_format.h"

class MotionTrack {
 public:
  // The first frame added is clip frame `first` (a part of the clip read
  // from there: a pair depends on its two frames only).
  MotionTrack(const VideoFormat& format, PayloadLayout layout, bool fields, int64_t first = 0);

  // The next frame of the clip, as stored.
  void add_frame(const uint8_t* payload);
  int64_t frames() const { return added_; }  // the clip frame added next

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
  std::unique_ptr<Pyramid> previous_;
  std::deque<Translation> pairs_;  // pairs_[i] is pair(base_ + i)
  int64_t base_ = 1;
  int64_t added_ = 0;
};
