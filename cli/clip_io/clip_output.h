#pragma once
// The clip a run writes: YUV4MPEG2 to a file or standard output, raw host
// frames (.yc48), or any other file encoded by ffmpeg from a YUV4MPEG2 pipe.
// The kind follows the output's name. Files are written as pending outputs
// (see pending_output.h), completed with finish() and committed with the
// run's other outputs.
#include <memory>
#include <string>
#include <vector>

#include "cli/clip_io/ffmpeg_pipe.h"
#include "cli/clip_io/file_identity.h"
#include "cli/clip_io/pending_output.h"
#include "cli/clip_io/sniffing.h"
#include "cli/clip_io/y4m_writer.h"
#include "cli/clip_io/yc48_io.h"
#include "cli/conversion.h"
#include "cli/video_format.h"
#include "engine/pixel.h"

// '-' and .y4m are y4m, .yc48 raw host frames, anything else ffmpeg.
ClipKind output_kind(const std::string& path);

class ClipOutput {
 public:
  // format: the samples to write (y4m and ffmpeg); interlaced_chroma: the
  // 4:2:0 chroma row layout; y4m_extra: X parameters for a y4m header
  // (without their 'X'; other kinds have no place for them).
  ClipOutput(const OutputTarget& target, const VideoFormat& format, bool interlaced_chroma,
             const std::vector<std::string>& encoder_args,
             const std::vector<std::string>& y4m_extra = {});
  // The same for a path that plan_outputs() has not seen (tests, the demo).
  ClipOutput(const std::string& path, const VideoFormat& format, bool interlaced_chroma,
             const std::vector<std::string>& encoder_args);
  ~ClipOutput();

  void write_frame(const PIXEL_YC* src, int stride);
  // Completes the output: flushes and waits for the encoder.
  void finish();
  // Puts the completed output under its name.
  void commit();

 private:
  std::string name_;
  ClipKind kind_;
  VideoFormat format_;
  std::unique_ptr<PendingOutput> pending_;
  ChildPipe encoder_;
  bool encoder_stopped_ = false;  // it ended well before taking every frame
  std::FILE* file_ = nullptr;
  std::unique_ptr<SampleConverter> converter_;
  std::unique_ptr<Y4mWriter> y4m_;
  std::unique_ptr<Yc48Writer> yc48_;
  std::vector<uint8_t> payload_;  // one frame as written
};
