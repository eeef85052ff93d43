#include "cli/commands/denoise_command.h"

#include <algorithm>
#include <climits>
#include <limits>
#include <optional>
#include <cstdio>
#include <unistd.h>
#include <vector>

#include "cli/clip_io/clip_input.h"
#include "cli/clip_io/clip_output.h"
#include "cli/clip_io/file_identity.h"
#include "cli/clip_io/preview_sink.h"
#include "cli/progress.h"
#include "cli/streaming_source.h"
#include "cli/tool_error.h"
#include "cli/write_behind.h"
#include "host/stand_in_host.h"
#include "plugin/cpu_probe.h"
#include "plugin/engine_level.h"
#include "plugin/threshold_factors.h"

namespace {

// Frames beyond the temporal window that a pre-stage reads on each side.
constexpr int kPreStageReach = 2;
// Frames read before the run loop needs them, and rendered frames that
// may wait to be written: enough to even out a slow frame, few enough that
// memory stays a handful of frames above the window.
constexpr int kReadAhead = 2;
constexpr int kWriteBehind = 2;

int64_t saturating_add(int64_t a, int64_t b) {
  return a > std::numeric_limits<int64_t>::max() - b ? std::numeric_limits<int64_t>::max() : a + b;
}

}  // namespace

bool field_processing(const DenoiseOptions& options, const VideoFormat& format) {
  if (options.field_given) return options.checks[kFieldCheck] == 1;
  if (format.interlace == Interlace::kTopFirst || format.interlace == Interlace::kBottomFirst) return true;
  if (format.interlace == Interlace::kProgressive) return false;
  return options.checks[kFieldCheck] == 1;
}

RunSummary run_denoise(const DenoiseOptions& options) {
  FILTER_DLL* table = GetFilterTable();
  check_filter_table(*table);
  if (options.simd > 0 && options.simd > detect_simd_level()) {
    throw ToolError("--simd", "level " + std::to_string(options.simd) +
                                  " is above what this processor has (" +
                                  std::to_string(detect_simd_level()) + ")", 2);
  }
  ClipInput input(options.input, options.yc48_size, options.yc48_rate);
  if (input.kind() != ClipKind::kYc48) {
    // A clip that carries its size and rate would silently override them.
    const std::string own = "applies to raw .yc48 input only; " + input.name() + " carries its own";
    if (options.yc48_size.width > 0) throw ToolError("--size", own + " frame size", 2);
    if (options.yc48_rate_given) throw ToolError("--fps", own + " frame rate", 2);
  }
  // Every output is checked against the input and the others before any is
  // made.
  std::vector<std::string> output_names = {options.output};
  if (options.preview) output_names.push_back(options.preview->path);
  const std::vector<OutputTarget> targets = plan_outputs(input.name(), input.identity(), output_names);
  const VideoFormat& format = input.format();
  const bool per_field = field_processing(options, format);
  // 4:2:0 chroma rows follow the fields when the header says the clip is
  // interlaced, or, when it does not say, when the fields are processed apart.
  const bool interlaced_chroma =
      format.interlaced_layout() ||
      (format.interlace != Interlace::kProgressive && per_field);
  input.set_interlaced_chroma(interlaced_chroma);

  HostOptions host_options;
  host_options.thread_num = options.threads;
  StandInHost host(table, host_options);
  for (int i = 0; i < kTrackCount; ++i) host.set_track(i, options.tracks[size_t(i)]);
  for (int i = 0; i < kCheckCount; ++i) host.set_check(i, options.checks[size_t(i)]);
  host.set_check(kFieldCheck, per_field ? 1 : 0);
  reset_threshold_factors();
  // W3DYL, W3DYH, W2DY, W3DCL, W3DCH, W2DC
  for (int t = 1; t <= 6; ++t) set_threshold_factor(t, options.strength);
  host.init();
  if (options.simd > 0) set_engine_simd_level_limit(options.simd);

  ClipOutput output(targets[0], format, interlaced_chroma, options.encoder_args);
  std::optional<PreviewSink> preview;
  if (options.preview) preview.emplace(*options.preview, targets[1], format.width, format.height);

  // Reading runs ahead on its own thread and converting and writing behind
  // on another, so that both overlap with the module's work.
  StreamingSource source(input, kReadAhead);
  // Frames after the last one a range needs are not read: on a pipe they
  // may be long in coming.
  const int64_t widest_margin = int64_t(options.tracks[kFrameTrack]) + kPreStageReach;
  if (options.range_end >= 0) source.read_no_further_than(saturating_add(options.range_end - 1, widest_margin));
  const int padded_width = source.width();
  WriteBehind writer(output, size_t(padded_width) * size_t(source.height()), padded_width,
                     kWriteBehind);

  // A clip shorter than the temporal window would make the module mirror
  // past its other end, where the host has no frame: shorten the window.
  int radius = options.tracks[kFrameTrack];
  source.fill_through(int64_t(radius) + kPreStageReach);
  if (source.end_seen() && source.decoded() <= radius) {
    if (source.decoded() < 2) {
      throw ToolError(options.input, "the clip has " + std::to_string(source.decoded()) +
                                         " frame(s); the filter needs at least 2");
    }
    radius = int(source.decoded()) - 1;
    host.set_track(kFrameTrack, radius);
    host.update(0x10000 + kFrameTrack);
    if (!options.quiet) {
      print_note(printable(options.input) + ": " + std::to_string(source.decoded()) +
                 " frames, temporal radius lowered to " + std::to_string(radius));
    }
  }
  const int margin = radius + kPreStageReach;

  int64_t total = input.frame_count_hint();
  if (total >= 0 && options.range_end >= 0) total = std::min(total, options.range_end);
  if (total >= 0) total = std::max<int64_t>(0, total - options.range_first);
  ProgressDisplay progress(!options.quiet && (options.force_progress || isatty(STDERR_FILENO)), total);

  RunSummary summary;
  int64_t f = options.range_first;
  for (; options.range_end < 0 || f < options.range_end; ++f) {
    source.drop_before(f - margin);
    source.fill_through(saturating_add(f, margin));
    if (f >= source.decoded()) break;  // the clip ended
    // The host numbers frames with an int, up to f + margin.
    if (f > int64_t(INT_MAX) - margin) {
      throw ToolError(options.input, "frame " + std::to_string(f) + " is past the last frame number the host counts (" +
                                         std::to_string(INT_MAX - margin) + ")");
    }
    PIXEL_YC* rendered = writer.acquire();
    if (!host.process(source, int(f), rendered, padded_width)) {
      throw ToolError(options.input, "the host could not render frame " + std::to_string(f));
    }
    if (source.window_fault() >= 0) {
      throw ToolError(options.input, "internal error: frame " + std::to_string(source.window_fault()) +
                                         " was asked for outside the decoded window");
    }
    if (preview && preview->wants(f)) preview->take(source, f, rendered, padded_width);
    writer.submit();
    ++summary.frames_written;
    progress.update(summary.frames_written);
  }
  if (summary.frames_written == 0) {
    throw ToolError(options.input, "the clip has " + std::to_string(source.decoded()) +
                                       " frames, none in the requested range");
  }
  if (preview) preview->check_taken();
  if (input.clamped_frames() > 0) {
    print_note("warning: " + printable(options.input) + ": " + std::to_string(input.clamped_frames()) +
               " frame(s) hold samples above " + std::to_string(input.format().max_sample()) +
               ", the largest " + std::to_string(input.format().bit_depth) + "-bit value; they were read as " +
               std::to_string(input.format().max_sample()));
  }
  if (source.end_seen()) summary.frames_in_clip = source.decoded();
  source.stop_reading();
  input.close(source.end_seen());
  writer.finish();
  progress.finish(summary.frames_written);
  // The outputs are committed together once every one is complete.
  if (preview) preview->finish();
  output.commit();
  if (preview) preview->commit();
  return summary;
}
