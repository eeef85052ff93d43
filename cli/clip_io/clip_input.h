#pragma once
// The clip a run reads: a YUV4MPEG2 file or standard input, raw host frames
// (.yc48), or any other file decoded by ffmpeg into a YUV4MPEG2 pipe. The
// file is opened once (see sniffing.h). Frames come out in the host's units.
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "cli/conversion.h"
#include "cli/clip_io/ffmpeg_pipe.h"
#include "cli/clip_io/ffmpeg_probe.h"
#include "cli/clip_io/file_identity.h"
#include "cli/clip_io/input_feeder.h"
#include "cli/clip_io/sniffing.h"
#include "cli/options.h"
#include "cli/video_format.h"
#include "cli/clip_io/y4m_reader.h"
#include "cli/clip_io/yc48_io.h"
#include "engine/pixel.h"

// The format given to raw host frames when they are written as YUV4MPEG2:
// 4:4:4, 10 bits, limited range, progressive.
VideoFormat host_frame_format(FrameSize size, Rational rate);

class ClipInput {
 public:
  // Opens the clip and reads its header. yc48_size is required for .yc48.
  ClipInput(const std::string& path, FrameSize yc48_size, Rational yc48_rate);
  ~ClipInput();

  const std::string& name() const { return name_; }
  ClipKind kind() const { return kind_; }
  // The file read, as the opened descriptor shows it.
  const FileIdentity& identity() const { return identity_; }
  const VideoFormat& format() const { return format_; }
  // The number of frames when the file's size tells it, else -1.
  int64_t frame_count_hint() const { return count_hint_; }
  // The same only where the size is exactly that of whole frames of a fixed
  // size (no frame parameters, nothing truncated), else -1.
  int64_t exact_frame_count() const;

  // Selects the 4:2:0 chroma row layout before the first frame is read.
  void set_interlaced_chroma(bool interlaced);
  // Reads the next frame into dst (rows `stride` pixels apart). Returns false
  // at the end of the clip.
  bool read_frame(PIXEL_YC* dst, int stride);
  bool skip_frame();
  // The same in two steps, so that reading and converting can happen on
  // different threads: read_payload() takes the next frame's bytes as
  // stored (payload_bytes() of them), payload_to_host() converts them.
  // payload_to_host() changes nothing and may run while another thread
  // reads.
  size_t payload_bytes() const;
  bool read_payload(uint8_t* dst);
  // Rows first_row .. end_row - 1 only (end_row < 0: through the last), so
  // that threads can share a frame.
  void payload_to_host(const uint8_t* payload, PIXEL_YC* dst, int stride, int first_row = 0,
                       int end_row = -1) const;
  // Frames whose bytes were read from the input (skipped ones included;
  // those passed over by seek_to_frame() are not).
  int64_t frames_read() const { return frames_read_.load(std::memory_order_relaxed); }
  // Before the first frame is read: moves a regular y4m or .yc48 file to the
  // start of frame n without reading the frames before it, and returns
  // whether it did. A y4m file qualifies when its size is the header plus
  // whole frames without frame parameters (the only case in which frame n
  // starts at a known offset) and frame n's marker is found there; anything
  // else (a pipe, ffmpeg, frame parameters) stays where it was, to be read
  // from the start.
  bool seek_to_frame(int64_t n);
  // Frames read so far that held samples above the bit depth's largest
  // value (clamped to it).
  int64_t clamped_frames() const { return clamped_frames_.load(std::memory_order_relaxed); }
  // After the end was reached: checks that a decoding ffmpeg succeeded.
  // Before it: stops the decoder.
  void close(bool reached_end);

 private:
  void open(const std::string& path, FrameSize yc48_size, Rational yc48_rate);
  void release();

  std::string name_;
  ClipKind kind_ = ClipKind::kY4m;
  FileIdentity identity_;
  // file_'s buffer where it is ours (stdio takes a size only with a buffer;
  // given none it keeps its own 8 KiB). Outlives file_, which release() closes.
  std::unique_ptr<char[]> stream_buffer_;
  std::FILE* file_ = nullptr;  // owned unless it is the decoder's pipe
  std::unique_ptr<InputFeeder> feeder_;
  ChildPipe decoder_;
  std::unique_ptr<Y4mReader> y4m_;
  std::unique_ptr<Yc48Reader> yc48_;
  std::unique_ptr<SampleConverter> converter_;
  VideoFormat format_;
  std::vector<uint8_t> payload_;  // read_frame()'s
  int64_t count_hint_ = -1;
  bool seekable_ = false;     // a named regular file, read as y4m or .yc48
  int64_t file_size_ = -1;
  std::atomic<int64_t> frames_read_{0};
  std::optional<ProbedVideo> colour_source_;  // what ffprobe told
  std::optional<VideoFormat> raw_format_;     // of a raw pipe from ffmpeg
  std::atomic<int64_t> clamped_frames_{0};
};
