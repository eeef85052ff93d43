#pragma once
// What ffprobe tells of a file's first video stream, for what the y4m pipe
// from ffmpeg does not carry (colour tags) or carries wrongly (ffmpeg 5.1
// pads the chroma rows of odd-width 4:2:0 and 4:2:2 clips above 8 bits
// wrongly: such clips come through a raw pipe whose format is given here).
#include <optional>
#include <string>

#include "cli/video_format.h"

struct ProbedVideo {
  int width = 0;
  int height = 0;
  std::string pixel_format;  // ffmpeg's name, "yuv420p10le"
  Rational rate{0, 0};
  Rational aspect{0, 0};
  std::string field_order;   // "progressive", "tt", "bb", ...
  std::string colour_range;  // "tv", "pc"
  std::string matrix, primaries, transfer;  // "" when unknown
};

// Runs ffprobe on a regular file; nothing when ffprobe is absent or fails
// (ffmpeg itself then reports what is wrong).
std::optional<ProbedVideo> probe_video(const std::string& path);

// The raw layout ffmpeg is asked for when a y4m pipe would not carry the
// clip (odd width, 4:2:0 or 4:2:2, above 8 bits): ffmpeg's name of it
// ("yuv420p10le") and the format it is read with; nothing otherwise.
std::optional<std::pair<std::string, VideoFormat>> raw_layout_for(const ProbedVideo& video);

// The colour tags of a probe, as a format's.
void take_colour_tags(const ProbedVideo& video, VideoFormat& format);
