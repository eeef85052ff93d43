#pragma once
// One scene of the clip as the host sees it: a clip of its own whose frame 0
// is the scene's first frame, so that the module's window never draws frames
// from another scene (at a scene's ends it mirrors, as at a clip's ends).
#include <cstdint>

#include "cli/streaming_source.h"

class SceneWindow : public FrameSource {
 public:
  explicit SceneWindow(StreamingSource& source) : source_(source) {}

  // The scene starts at clip frame `first` and holds `count` frames, or, while
  // its end is not known, at least as many as the module's decisions need.
  void set_scene(int64_t first, int64_t count) {
    first_ = first;
    count_ = count;
  }
  int64_t first() const { return first_; }

  int width() const override { return source_.width(); }
  int height() const override { return source_.height(); }
  int frame_count() const override { return int(count_); }
  bool read_frame(int n, PIXEL_YC* dst, int stride) override {
    return source_.read_frame(int(first_ + n), dst, stride);
  }

 private:
  StreamingSource& source_;
  int64_t first_ = 0;
  int64_t count_ = 0;
};
