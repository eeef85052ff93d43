#pragma once
// One window of a scene as the host sees it when the window is motion
// compensated: the scene is a clip of its own (as in SceneWindow), and every
// frame but the window's centre comes moved by the camera's translation so
// that it lines up with the centre. Since what a frame looks like then
// depends on the centre, the module must prepare every frame of the window
// afresh for each centre (the run empties its frame slots and the host's
// filtering cache between centres).
#include <cstdint>
#include <vector>

#include "cli/motion/motion_track.h"
#include "cli/motion/warp.h"
#include "cli/streaming_source.h"

class CompensatedWindow : public FrameSource {
 public:
  // blocks: every frame is then moved again block by block (see
  // block_vectors.h) after the camera's translation.
  CompensatedWindow(StreamingSource& source, const MotionTrack& track, bool fields, bool blocks = false);

  // The scene (as SceneWindow::set_scene) and the clip frame every other
  // frame is lined up with. The frames within `radius` of the centre (in the
  // scene, mirrored at its ends as the module mirrors them) are moved at once,
  // on two threads; any other frame asked for is moved when it is asked for.
  void set_window(int64_t first, int64_t count, int64_t centre, int radius);

  int width() const override { return source_.width(); }
  int height() const override { return source_.height(); }
  int frame_count() const override { return int(count_); }
  bool read_frame(int n, PIXEL_YC* dst, int stride) override;

 private:
  StreamingSource& source_;
  const MotionTrack& track_;
  bool fields_;
  bool blocks_;
  int64_t first_ = 0, count_ = 0, centre_ = -1;
  struct Moved {
    int64_t frame = -1;
    std::vector<PIXEL_YC> pixels;  // width() x height(), rows width() apart
  };
  void move(int64_t frame, Moved& into, std::vector<PIXEL_YC>& scratch, std::vector<PIXEL_YC>& translated) const;

  std::vector<PIXEL_YC> centre_pixels_;
  std::vector<uint8_t> centre_luma_;       // with blocks: what they are matched against
  std::vector<Moved> moved_;               // the window's frames, lined up
  std::vector<PIXEL_YC> scratch_[2];
  std::vector<PIXEL_YC> translated_[2];  // with blocks: the frame moved by the camera only
};
