#include "cli/commands/denoise_command.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <cstdio>
#include <unistd.h>
#include <vector>

#include "cli/clip_io/clip_input.h"
#include "cli/clip_io/clip_output.h"
#include "cli/clip_io/file_identity.h"
#include "cli/clip_io/part_record.h"
#include "cli/clip_io/preview_sink.h"
#include "cli/analysis/clip_analyser.h"
#include "cli/motion/compensated_window.h"
#include "cli/motion/motion_track.h"
#include "cli/progress.h"
#include "cli/scene_window.h"
#include "cli/settings/auto_settings.h"
#include "cli/settings/plan_file.h"
#include "cli/settings/scene_settings.h"
#include "cli/settings/settings_digest.h"
#include "cli/streaming_source.h"
#include "cli/tool_error.h"
#include "cli/write_behind.h"
#include "host/stand_in_host.h"
#include "plugin/kernel_level.h"
#include "plugin/threshold_factors.h"

namespace {

// Frames beyond the temporal window that a pre-stage reads on each side.
constexpr int kPreStageReach = 2;
// Frames read before the run loop needs them, and rendered frames that
// may wait to be written: enough to even out a slow frame, few enough that
// memory stays a handful of frames above the window.
constexpr int kReadAhead = 2;
constexpr int kWriteBehind = 2;

// The widest temporal radius any scene may get.
constexpr int kMaxRadius = 4;
// Frames of a scene that its measurement comes from under `auto`.
constexpr int kMeasuredFrames = 25;

int64_t saturating_add(int64_t a, int64_t b) {
  return a > std::numeric_limits<int64_t>::max() - b ? std::numeric_limits<int64_t>::max() : a + b;
}

// The threshold factors are the module's process-wide state: a run leaves
// them as it found them (all 1), whatever way it ends.
struct ThresholdFactorsReset {
  ~ThresholdFactorsReset() { reset_threshold_factors(); }
};

std::string percent(double share) { return std::to_string(int(std::lround(share * 100))) + "%"; }

std::string one_decimal(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", v);
  return text;
}

// The line a run prints for a scene as it starts it.
std::string scene_line(int64_t index, const Scene& scene, bool measured, const std::string& settings) {
  std::string line = "scene " + std::to_string(index + 1) + ", frames " + std::to_string(scene.first) + "-";
  if (scene.end >= 0) line += std::to_string(scene.end - 1);
  if (measured) {
    const SceneFigures& f = scene.figures;
    line += ": noise Y " + one_decimal(f.noise[0]) + " Cb " + one_decimal(f.noise[1]) + " Cr " +
            one_decimal(f.noise[2]) + ", motion " + percent(f.motion);
  }
  return line + ": " + settings;
}

// Whether the run should say how many frames it read (QUIETLOOM_STATS set
// to anything but 0).
bool stats_wanted() {
  const char* value = std::getenv("QUIETLOOM_STATS");
  return value && *value && std::strcmp(value, "0") != 0;
}

}  // namespace

AnalysisOptions scene_analysis_options(bool measure, bool per_field) {
  AnalysisOptions analysis;
  analysis.measure = measure;
  analysis.fields = per_field;
  analysis.measured_frames = kMeasuredFrames;
  return analysis;
}

bool field_processing(const DenoiseOptions& options, const VideoFormat& format) {
  if (options.field_given) return options.checks[kCheckFieldMode] == 1;
  if (format.interlace == Interlace::kTopFirst || format.interlace == Interlace::kBottomFirst) return true;
  if (format.interlace == Interlace::kProgressive) return false;
  return options.checks[kCheckFieldMode] == 1;
}

RunSummary run_denoise(const DenoiseOptions& options) {
  FILTER_DLL* table = GetFilterTable();
  check_filter_table(*table);
  // The module's kernel table goes back to the highest level when the run
  // ends, so that a run that asked for a lower one leaves nothing behind.
  struct KernelLevelReset {
    ~KernelLevelReset() { select_highest_kernel_level(); }
  } kernel_level_reset;
  if (options.simd && !select_kernel_level(*options.simd)) {
    throw ToolError("--simd", std::string("level ") + kernel_level_name(*options.simd) +
                                  " is above what this processor and build allow (" +
                                  kernel_level_name(highest_kernel_level()) + ")", 2);
  }
  ClipInput input(options.input, options.yc48_size, options.yc48_rate);
  std::optional<ClipPlan> plan;
  if (!options.settings_plan.empty()) plan = read_plan_file(options.settings_plan, *table);
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
  if (plan) {
    // A plan made for another clip would give its scenes to the wrong frames.
    std::string problem = plan_mismatch(*plan, format);
    const int64_t frames = input.exact_frame_count();
    if (problem.empty() && plan->fields_apart != per_field) {
      problem = plan->fields_apart ? "its scenes were measured field by field, this run processes whole frames"
                                   : "its scenes were measured on whole frames, this run processes the fields apart";
    }
    if (problem.empty() && frames >= 0 && frames != plan->frames) {
      problem = "the plan is for " + std::to_string(plan->frames) + " frames, the clip has " + std::to_string(frames);
    }
    if (!problem.empty()) {
      throw ToolError(options.settings_plan, "does not fit " + options.input + ": " + problem);
    }
  }

  HostOptions host_options;
  host_options.thread_num = options.threads;
  host_options.stale_temp = false;  // the module writes ycp_temp before it reads it
  StandInHost host(table, host_options);
  ThresholdFactorsReset factors_reset;
  reset_threshold_factors();
  host.init();

  // Every preset but `none` splits the clip into scenes; `auto` measures
  // each, unless a plan gives the scenes and their settings.
  const bool scenes = options.preset != Preset::kNone;
  const bool chosen_per_scene = options.preset == Preset::kAuto;
  const bool measuring = chosen_per_scene && !plan;
  // The settings of every scene before the scene's own choice.
  const Settings preset = preset_settings(options.preset, *table);
  auto finish_settings = [&](Settings s) {
    s = with_command_line(s, options);
    s.checks[kCheckFieldMode] = per_field ? 1 : 0;
    return s;
  };
  auto settings_for = [&](const Scene* scene, bool compensated = false) {
    return finish_settings(measuring && scene ? auto_settings(scene->figures, preset, compensated) : preset);
  };
  // Under every preset that splits the clip into scenes, --motion auto
  // (the default) lines the window of a scene whose camera moves up with
  // the camera; a plan carries that choice per scene.
  const MotionMode motion =
      options.motion == MotionMode::kDefault ? (scenes ? MotionMode::kAuto : MotionMode::kOff) : options.motion;
  if (motion == MotionMode::kAuto && !scenes) {
    throw ToolError("--motion", "auto needs a preset that measures the scenes (not none)", 2);
  }
  // global and local follow the camera in every scene; the scene lines say
  // what each scene's window does wherever that can differ from scene to
  // scene or was asked for.
  const bool every_scene = motion == MotionMode::kGlobal || motion == MotionMode::kLocal;
  const bool show_window = every_scene || (motion == MotionMode::kAuto && (measuring || plan));
  // What a followed window does.
  const MotionMode following = motion == MotionMode::kAuto ? kAutoFollowing : motion;
  auto plan_follows = [&](const PlannedScene& scene) {
    return every_scene || (motion == MotionMode::kAuto && scene.follow_camera);
  };
  auto planned_settings = [&](const PlannedScene& scene) {
    return finish_settings(chosen_per_scene ? scene.settings : preset);
  };

  // A part records its range and settings in a y4m header (see
  // part_record.h).
  std::vector<std::string> record;
  if (options.range_first > 0 || options.range_end >= 0) {
    PartRecord part;
    part.first = options.range_first;
    part.clip_frames = plan ? plan->frames : input.exact_frame_count();
    part.end = part.clip_frames < 0 ? options.range_end
               : options.range_end < 0 ? part.clip_frames
                                       : std::min(options.range_end, part.clip_frames);
    // Parts join only when their windows were chosen alike.
    const std::string window_choice = motion == MotionMode::kOff ? "" : std::string(" motion ") + motion_name(motion);
    part.settings = settings_digest(
        options, per_field, !scenes ? "" : (plan ? "plan " + plan_digest(*plan) : "measured") + window_choice);
    if (part.end < 0 || part.end > part.first) record = part_record_parameters(part);
  }

  // With a plan, a range needs only the frames of its window: from the
  // first frame the window of its first frame reaches, through the last one
  // that of its last frame reaches, each within its scene. A regular file is
  // moved to the first without reading the frames before it.
  int64_t read_first = 0, read_last = -1;
  if (plan && options.range_first < plan->frames) {
    auto reach = [&](const PlannedScene& scene) {
      Settings s = planned_settings(scene);
      fit_window_to_scene(s, scene.end - scene.first);
      return int64_t(s.tracks[kTrackFrame]) + kPreStageReach;
    };
    const PlannedScene& first = plan->scene_of(options.range_first);
    read_first = std::max(first.first, options.range_first - reach(first));
    const int64_t last_written =
        (options.range_end < 0 ? plan->frames : std::min(options.range_end, plan->frames)) - 1;
    const PlannedScene& last = plan->scene_of(last_written);
    read_last = std::min(last.end - 1, last_written + reach(last));
    if (!input.seek_to_frame(read_first)) read_first = 0;
  }

  ClipOutput output(targets[0], format, interlaced_chroma, options.encoder_args, record);
  std::optional<PreviewSink> preview;
  if (options.preview) preview.emplace(*options.preview, targets[1], format.width, format.height);

  // Reading runs ahead on its own thread and converting and writing behind
  // on another, so that both overlap with the module's work.
  StreamingSource source(input, kReadAhead, read_first);
  SceneWindow window(source);
  const PayloadLayout layout =
      input.kind() == ClipKind::kYc48 ? PayloadLayout::kHostPixels : PayloadLayout::kPlanarSamples;
  ClipAnalyser analyser(format, layout, scene_analysis_options(measuring, per_field));
  bool compensated = !scenes && every_scene;  // the window follows the camera
  // The widest window any scene may get, and what the scenes' decisions
  // need after it: the cut decision of a frame reads the next one, and a
  // scene's measurement its first frames.
  const int64_t widest_margin =
      int64_t(scenes && measuring && !options.track_given[kTrackFrame] ? kMaxRadius
                                                                         : settings_for(nullptr).tracks[kTrackFrame]) +
      kPreStageReach;
  // The camera is tracked over the windows that follow it only, from the
  // frames the window holds: a pair depends on its two frames alone, so a
  // track begun anywhere gives the same offsets.
  MotionTrack track(format, layout, per_field);
  CompensatedWindow compensated_window(source, track, per_field, following == MotionMode::kLocal);
  // A run that stops reading early sees the clip end there: reading on far
  // enough that no decision about a frame it writes changes keeps a range
  // bit-identical to the same frames of a whole run.
  const int64_t lookahead =
      scenes ? std::max<int64_t>(widest_margin + 2, measuring ? kMeasuredFrames + 1 : 0) : widest_margin;
  // Frames after the last one a range needs are not read: on a pipe they
  // may be long in coming.
  if (plan) {
    source.read_no_further_than(read_last);
  } else if (options.range_end >= 0) {
    source.read_no_further_than(saturating_add(options.range_end - 1, lookahead));
  }
  const int padded_width = source.width();
  WriteBehind writer(output, size_t(padded_width) * size_t(source.height()), padded_width,
                     kWriteBehind);

  // Hands frames to the analyser, in order, through frame `last` or the end
  // of the clip; the source keeps only those from `keep_from` on.
  int64_t fed = 0;
  auto feed_through = [&](int64_t last, int64_t keep_from) {
    while (!analyser.finished() && fed <= last) {
      source.fill_through(fed);
      if (fed >= source.decoded()) {
        analyser.finish();
        break;
      }
      analyser.add_frame(source.payload(fed));
      ++fed;
      source.drop_before(std::min(keep_from, fed));
    }
  };

  int64_t total = input.frame_count_hint();
  if (total >= 0 && options.range_end >= 0) total = std::min(total, options.range_end);
  if (total >= 0) total = std::max<int64_t>(0, total - options.range_first);
  ProgressDisplay progress(!options.quiet && (options.force_progress || isatty(STDERR_FILENO)), total);

  RunSummary summary;
  int64_t scene_first = -1, scene_index = -1, scene_end = -1;
  int margin = 0;
  // Whether a pre-stage reads the window's frames as a whole: with none,
  // the module reads only the even pixels' chroma of a moved frame.
  bool prestages = false;
  // The compensated window of centre c in the current scene: the camera is
  // tracked over every frame the module may ask for, within the scene and
  // what has been decoded.
  auto compensated_span = [&](int64_t c) {
    WindowSpan span;
    span.first = scene_first;
    span.count = window.frame_count();
    span.centre = c;
    span.radius = margin - kPreStageReach;
    span.first_tracked = std::max(scene_first, c - margin);
    span.last_tracked = std::min({c + margin, scene_first + window.frame_count() - 1, source.decoded() - 1});
    span.even_chroma = !prestages;
    return span;
  };
  // scene: the scene's figures, printed where `measured`.
  auto start_scene = [&](Settings s, const Scene* scene, bool measured, int64_t first, int64_t length) {
    const int radius_before = s.tracks[kTrackFrame];
    if (fit_window_to_scene(s, length) && !options.quiet && !scene) {
      print_note(printable(options.input) + ": " + std::to_string(length) +
                 " frames, temporal radius lowered to " + std::to_string(s.tracks[kTrackFrame]) +
                 " from " + std::to_string(radius_before));
    }
    const int radius = s.tracks[kTrackFrame];
    apply_settings(host, s);
    prestages = s.checks[kCheckCrossColour] != 0 || s.checks[kCheckMosquitoNr] != 0 || s.checks[kCheckBlockNr] != 0;
    // The host's filtering cache keys frames by their number in the clip it
    // is given, and each scene is a clip of its own numbered from 0: frames
    // of the scene before would be served as this one's.
    host.flush_filtering_cache();
    margin = radius + kPreStageReach;
    scene_first = first;
    ++scene_index;
    if (!options.quiet && scene) {
      std::string chosen = describe_settings(s, *table);
      if (show_window) chosen += motion_option(compensated ? following : MotionMode::kOff);
      print_note(scene_line(scene_index, *scene, measured, chosen));
    }
  };

  if (!scenes) {
    // One scene, the whole clip, under the preset's settings.
    source.fill_through(widest_margin);
    if (source.end_seen() && source.decoded() < 2) {
      throw ToolError(options.input, "the clip has " + std::to_string(source.decoded()) +
                                         " frame(s); the filter needs at least 2");
    }
    start_scene(settings_for(nullptr), nullptr, false, 0, source.end_seen() ? source.decoded() : -1);
  }

  int64_t f = options.range_first;
  for (; options.range_end < 0 || f < options.range_end; ++f) {
    if (plan) {
      if (f >= plan->frames) break;  // the clip ended
      const PlannedScene& scene = plan->scene_of(f);
      if (scene.first != scene_first) {
        if (scene_index < 0) scene_index = int64_t(&scene - plan->scenes.data()) - 1;
        const Scene shown{scene.first, scene.end, true, scene.figures};
        compensated = plan_follows(scene);
        start_scene(planned_settings(scene), &shown, chosen_per_scene, scene.first, scene.end - scene.first);
      }
      window.set_scene(scene.first, scene.end - scene.first);
      scene_end = scene.end;
    } else if (scenes) {
      // The scene of f and whether it ends within the window: cut decisions
      // through f + widest_margin, and the scene's measurement.
      feed_through(saturating_add(f, widest_margin + 1), f - widest_margin);
      if (analyser.finished() && analyser.frames_added() < 2) {
        throw ToolError(options.input, "the clip has " + std::to_string(analyser.frames_added()) +
                                           " frame(s); the filter needs at least 2");
      }
      if (f >= analyser.decided()) break;  // the clip ended
      size_t index = analyser.scene_index(f);
      while (!analyser.scenes()[index].measured) {
        feed_through(fed, f - widest_margin);
        index = analyser.scene_index(f);
      }
      const Scene& scene = analyser.scenes()[index];
      if (scene.first != scene_first) {
        if (scene_index < 0) scene_index = analyser.scenes_before() + int64_t(index) - 1;
        compensated = every_scene || (motion == MotionMode::kAuto && follows_camera(scene.figures));
        start_scene(settings_for(&scene, compensated), &scene, measuring, scene.first,
                    scene.end >= 0 ? scene.end - scene.first : -1);
      }
      const int64_t end = scene.end >= 0 ? scene.end : analyser.decided();
      window.set_scene(scene.first, end - scene.first);
      analyser.forget_before(f - widest_margin);
    }
    source.drop_before(std::max(f - margin, scene_first));
    // A plan knows where the scene ends; the frames after it are not read.
    const int64_t needed = plan ? std::min(f + margin, scene_end - 1) : saturating_add(f, margin);
    source.fill_through(needed);
    if (plan && source.decoded() <= needed) {
      throw ToolError(options.input, "the clip ends after " + std::to_string(source.decoded()) +
                                         " frames; the plan " + options.settings_plan + " says it has " +
                                         std::to_string(plan->frames));
    }
    if (f >= source.decoded()) break;  // the clip ended
    if (!scenes) window.set_scene(0, source.frame_count());
    // The host numbers frames with an int, up to f + margin.
    if (f - scene_first > int64_t(INT_MAX) - margin) {
      throw ToolError(options.input, "frame " + std::to_string(f) + " is past the last frame number the host counts (" +
                                         std::to_string(INT_MAX - margin) + ")");
    }
    PIXEL_YC* rendered = writer.acquire();
    if (compensated) {
      // Every frame of the window is lined up with this centre: none that
      // the module or the host prepared for the last one may be used.
      compensated_window.set_window(compensated_span(f));
      host.update(0);
      host.flush_filtering_cache();
      // The next centre's window is lined up while the module renders this
      // one (the source stays as it is until settle()).
      const int64_t next = f + 1;
      if (next < scene_first + window.frame_count() && next < source.decoded() &&
          (options.range_end < 0 || next < options.range_end)) {
        compensated_window.prepare(compensated_span(next));
      }
    }
    FrameSource& shown = compensated ? static_cast<FrameSource&>(compensated_window) : window;
    // The writer's buffer is padded_width x padded height, the host's own
    // frame geometry, so the module renders straight into it.
    const bool rendered_ok = host.process_into(shown, int(f - scene_first), rendered);
    compensated_window.settle();
    if (!rendered_ok) {
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
    throw ToolError(options.input, "the clip has " + std::to_string(plan ? plan->frames : source.decoded()) +
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
  if (stats_wanted()) {
    print_note(printable(options.input) + ": " + std::to_string(input.frames_read()) + " frames read, " +
               std::to_string(summary.frames_written) + " written");
  }
  // The outputs are committed together once every one is complete.
  if (preview) preview->finish();
  output.commit();
  if (preview) preview->commit();
  return summary;
}
