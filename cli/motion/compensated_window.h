#pragma once
// One window of a scene as the host sees it when the window is motion
// compensated: the scene is a clip of its own (as in SceneWindow), and every
// frame but the window's centre comes moved by the camera's translation so
// that it lines up with the centre. Since what a frame looks like then
// depends on the centre, the module must prepare every frame of the window
// afresh for each centre (the run empties its frame slots and the host's
// filtering cache between centres).
//
// Lining a window up (tracking the camera through its newest frame, moving
// its frames) is work the module's workers would otherwise wait for, so the
// run has the next centre's window lined up on a thread of its own while the
// module renders the current one. A window is the same whichever thread lined
// it up: each moved frame depends on its frame, the centre and the track's
// pairs between them only.
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "cli/background_thread.h"
#include "cli/motion/motion_track.h"
#include "cli/motion/warp.h"
#include "cli/streaming_source.h"

// Which window: the scene (as SceneWindow::set_scene), the clip frame every
// other frame is lined up with, the window's radius, and the clip frames the
// camera is tracked over (first_tracked .. last_tracked, within the scene).
struct WindowSpan {
  int64_t first = 0;
  int64_t count = 0;
  int64_t centre = -1;
  int radius = 0;
  int64_t first_tracked = 0;
  int64_t last_tracked = -1;
  // Only the even pixels' chroma of the moved frames is read (no pre-stage
  // runs): it is all that is moved, where no blocks are moved after.
  bool even_chroma = false;
};

class CompensatedWindow : public FrameSource {
 public:
  // blocks: every frame is then moved again block by block (see
  // block_vectors.h) after the camera's translation.
  CompensatedWindow(StreamingSource& source, MotionTrack& track, bool fields, bool blocks = false);
  ~CompensatedWindow() override;
  CompensatedWindow(const CompensatedWindow&) = delete;
  CompensatedWindow& operator=(const CompensatedWindow&) = delete;

  // Makes `span` the window the host sees. The track is begun again at the
  // span's first tracked frame where it holds none of the frames before, and
  // forgets the pairs before; it is brought through the last tracked frame
  // as the frames there are needed. The frames within `radius`
  // of the centre (in the scene, mirrored at its ends as the module mirrors
  // them) are moved at once, on two threads, unless prepare() already did;
  // any other frame asked for is moved when it is asked for.
  void set_window(const WindowSpan& span);
  // Starts lining up `span` on a thread of its own, for the set_window call
  // that asks for the same span. Until settle() returns, the source must not
  // change (no fill_through or drop_before). Does nothing where the track
  // would have to begin again.
  void prepare(const WindowSpan& span);
  // Waits for the window being prepared; a failure there is thrown here.
  void settle();

  int width() const override { return source_.width(); }
  int height() const override { return source_.height(); }
  int frame_count() const override { return int(shown_.span.count); }
  bool read_frame(int n, PIXEL_YC* dst, int stride) override;
  // A moved frame's buffer goes to the host as it is (the host's buffer
  // takes its place, and the frame is moved again if it is asked for again).
  bool exchange_frame(int n, std::unique_ptr<PIXEL_YC[]>& buffer) override;

 private:
  struct Moved {
    int64_t frame = -1;                 // -1: the buffer holds no frame
    std::unique_ptr<PIXEL_YC[]> pixels;  // width() x height(), rows width() apart
  };
  // A window lined up, with the work buffers of the threads that did it.
  struct Lined {
    WindowSpan span;
    std::vector<int64_t> frames;  // the frames moved at once, in the order moved
    std::vector<PIXEL_YC> centre_pixels;
    std::vector<uint8_t> centre_luma;  // with blocks: what they are matched against
    std::vector<Moved> moved;          // the window's frames, lined up
    std::vector<PIXEL_YC> source_row[2];  // each thread's source row being converted
  };
  // The scene's frames within the radius of the centre but the centre.
  static std::vector<int64_t> window_frames(const WindowSpan& span);
  // Adds frames to the track through `last`; the thread preparing a window
  // and the host's thread may both need it.
  void track_through(int64_t last);
  void line_up(Lined& into, const WindowSpan& span);
  void move(const Lined& window, int64_t frame, Moved& into, std::vector<PIXEL_YC>& row) const;
  // The shown window's frame, moved now if it is not yet; the source must
  // hold it and it must not be the centre.
  Moved& moved_frame(int64_t frame);

  StreamingSource& source_;
  MotionTrack& track_;
  bool fields_;
  bool blocks_;
  Lined shown_;  // what the host sees
  Lined next_;   // what prepare() lines up
  bool next_ready_ = false;
  std::mutex tracking_;
  bool preparing_ = false;
  // The thread that prepares, and the one that moves half of every window's
  // frames; each keeps its work buffers from window to window.
  BackgroundThread preparer_;
  BackgroundThread second_;
};
