#pragma once
// The clip as the stand-in host sees it (its FrameSource), held only as a
// sliding window of frames in their stored form (a frame's bytes as read, a
// quarter of the host frame's size for 8-bit 4:2:0), so that memory stays
// bounded however long the clip is. A frame is converted to the host's units when the host
// fetches it, straight into the host's buffer.
//
// To render frame f the module asks for frames f - R - 2 .. f + R + 2 at
// most (R = the Frame track: the window of 2R + 1 frames, plus two more on
// each side for the cross-colour stage), mirrored into the clip at its ends.
// The run loop therefore reads through frame f + margin (margin = R + 2)
// before rendering f and drops the frames before f - margin afterwards.
//
// The frames are handed to the host padded to multiples of 16 in both
// directions, the new columns and rows mirrored about the last column and row
// (which are not repeated). The module pads to those sizes itself but leaves
// the padding columns of the frames it fetches as the buffers hold them;
// padding them here gives it picture content there, and the output writes
// only the clip's own columns and rows of the result. A run that ends before
// the clip does tells the reader the last frame it needs, and nothing after
// it is read.
//
// The module needs the clip's length only to mirror at the end and to leave
// out neighbours past it, that is only to know whether the clip ends within
// f + margin. Until the end of a stream has been seen, frame_count() reports
// the frames decoded so far, which after fill_through(f + margin) is at least
// f + margin + 1: every decision the module takes for frame f is then the
// same as with the true length. Once the end is seen it is the true length.
#include <cstdint>
#include <deque>
#include <vector>

#include "cli/background_thread.h"
#include "cli/clip_io/clip_input.h"
#include "cli/read_ahead.h"
#include "host/stand_in_host.h"

class StreamingSource : public FrameSource {
 public:
  // Frames are read on a thread of their own, up to read_ahead frames
  // before fill_through() asks for them. The input stands at frame `first`
  // (see ClipInput::seek_to_frame): the frames before it count as passed.
  explicit StreamingSource(ClipInput& input, int read_ahead = 2, int64_t first = 0);

  int width() const override;
  int height() const override;
  int frame_count() const override;
  // Frames held by the window are converted into dst. A frame of the clip
  // that the window no longer or not yet holds is a fault of the run loop:
  // it is recorded (see window_fault()) and answered with false. The host
  // asks while the module's workers wait for the frame, so the conversion is
  // shared with a second thread; the rows do not depend on which thread
  // converted them.
  bool read_frame(int n, PIXEL_YC* dst, int stride) override;

  // Takes frames until frame `last` is held or the clip has ended.
  void fill_through(int64_t last);
  // Forgets the frames before `first`; skips (reads without converting)
  // frames before `first` that were not yet decoded.
  void drop_before(int64_t first);
  // Frames after `last` are never read (the run does not need them).
  void read_no_further_than(int64_t last) { reader_.read_no_further_than(last); }
  // Stops decoding; the input is not read after this returns.
  void stop_reading();

  bool end_seen() const { return end_seen_; }
  int64_t decoded() const { return decoded_; }
  int64_t held() const { return int64_t(frames_.size()); }
  // The clip's own size (width() and height() are padded).
  int clip_width() const { return clip_width_; }
  int clip_height() const { return clip_height_; }
  bool holds(int64_t n) const;
  // The held frame n as read (payload_bytes() of the input); null when it is
  // not held.
  const uint8_t* payload(int64_t n) const;
  // Converts the held frame n into dst (width() x height(), padded, rows
  // `stride` pixels apart); false when it is not held.
  bool convert_frame(int64_t n, PIXEL_YC* dst, int stride) const;
  // Converts row r of the held frame n (clip_width() pixels, no padding)
  // into dst; false when the frame is not held.
  bool convert_row(int64_t n, int r, PIXEL_YC* dst) const;
  // The first frame number asked for that the window did not hold, or -1.
  int64_t window_fault() const { return window_fault_; }

 private:
  ClipInput& input_;
  int clip_width_, clip_height_;
  int width_, height_;
  ReadAhead reader_;
  std::deque<std::vector<uint8_t>> frames_;  // frames first_ .. decoded_ - 1, as read
  int64_t first_ = 0;
  int64_t decoded_ = 0;
  bool end_seen_ = false;
  int64_t window_fault_ = -1;
  BackgroundThread converter_;  // converts the lower rows of a frame the host asks for
};
