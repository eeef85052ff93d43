#include "cli/commands/plan_command.h"

#include <algorithm>
#include <cstdlib>

#include "cli/analysis/clip_analyser.h"
#include "cli/clip_io/clip_input.h"
#include "cli/clip_io/file_identity.h"
#include "cli/clip_io/pending_output.h"
#include "cli/commands/denoise_command.h"
#include "cli/progress.h"
#include "cli/settings/auto_settings.h"
#include "cli/tool_error.h"

std::vector<FrameRange> split_into_parts(int64_t frames, int64_t parts, const std::vector<int64_t>& cuts) {
  std::vector<FrameRange> ranges;
  const int64_t reach = frames / parts / 8;
  int64_t first = 0;
  for (int64_t i = 1; i <= parts; ++i) {
    int64_t end = (i * frames + parts / 2) / parts;
    if (i < parts && reach > 0) {
      // The nearest cut within reach; the earlier one on a tie.
      auto it = std::lower_bound(cuts.begin(), cuts.end(), end - reach);
      int64_t best = -1;
      for (; it != cuts.end() && *it <= end + reach; ++it) {
        if (*it > first && (best < 0 || std::llabs(*it - end) < std::llabs(best - end))) best = *it;
      }
      if (best > 0) end = best;
    }
    if (i == parts) end = frames;
    ranges.push_back({first, end});
    first = end;
  }
  return ranges;
}

ClipPlan run_plan(const PlanOptions& options, std::FILE* out) {
  const FILTER_DLL& table = *GetFilterTable();
  check_filter_table(table);
  ClipInput input(options.input, options.yc48_size, Rational{25, 1});
  const VideoFormat& format = input.format();
  std::vector<OutputTarget> targets;
  if (!options.save.empty()) targets = plan_outputs(input.name(), input.identity(), {options.save});

  // The scenes must be measured as a run over the clip measures them.
  DenoiseOptions run_options = default_denoise_options(table);
  run_options.field_given = options.field_given;
  run_options.checks[kCheckFieldMode] = options.field ? 1 : 0;
  const bool per_field = field_processing(run_options, format);
  ClipAnalyser analyser(format, input.kind() == ClipKind::kYc48 ? PayloadLayout::kHostPixels
                                                                 : PayloadLayout::kPlanarSamples,
                        scene_analysis_options(true, per_field));
  ClipPlan plan;
  plan.input = input.name();
  plan.width = format.width;
  plan.height = format.height;
  plan.chroma_tag = format.chroma_tag;
  plan.interlace = format.interlace;
  plan.fields_apart = per_field;
  const Settings base = table_settings(table);
  auto take_closed = [&] {
    while (int64_t(plan.scenes.size()) - analyser.scenes_before() < int64_t(analyser.scenes().size())) {
      const Scene& scene = analyser.scenes()[plan.scenes.size() - size_t(analyser.scenes_before())];
      if (scene.end < 0 || !scene.measured) break;
      const bool follow = follows_camera(scene.figures);
      plan.scenes.push_back({scene.first, scene.end, scene.figures, auto_settings(scene.figures, base, follow), follow});
    }
    analyser.forget_before(analyser.decided() - 1);
  };
  std::vector<uint8_t> payload(input.payload_bytes());
  while (input.read_payload(payload.data())) {
    analyser.add_frame(payload.data());
    take_closed();
  }
  analyser.finish();
  take_closed();
  input.close(true);
  plan.frames = analyser.frames_added();
  if (plan.frames < 2) {
    throw ToolError(options.input, "the clip has " + std::to_string(plan.frames) + " frame(s); the filter needs at least 2");
  }
  const int64_t parts = options.parts > 0 ? options.parts : (plan.frames + options.part_frames - 1) / options.part_frames;
  if (parts > plan.frames) {
    throw ToolError(options.input, "the clip has " + std::to_string(plan.frames) + " frames, fewer than the " +
                                       std::to_string(parts) + " parts asked for");
  }
  std::vector<int64_t> cuts;
  for (size_t i = 1; i < plan.scenes.size(); ++i) cuts.push_back(plan.scenes[i].first);
  plan.parts = split_into_parts(plan.frames, parts, cuts);

  if (!options.quiet) {
    print_note(printable(plan.input) + ": " + std::to_string(plan.frames) + " frames, " +
               std::to_string(plan.scenes.size()) + " scene(s), " + std::to_string(plan.parts.size()) + " part(s)");
    for (size_t i = 0; i < plan.scenes.size(); ++i) {
      const PlannedScene& scene = plan.scenes[i];
      Settings shown = scene.settings;
      fit_window_to_scene(shown, scene.end - scene.first);
      print_note("scene " + std::to_string(i + 1) + ", frames " + std::to_string(scene.first) + "-" +
                 std::to_string(scene.end - 1) + ": " + describe_settings(shown, table) +
                 motion_option(scene.follow_camera ? kAutoFollowing : MotionMode::kOff));
    }
  }
  const std::string json = plan_to_json(plan, table);
  if (!targets.empty()) {
    PendingOutput saved(targets[0]);
    if (std::fwrite(json.data(), 1, json.size(), saved.file()) != json.size()) {
      throw ToolError(options.save, "write failed");
    }
    saved.commit();
  }
  if (options.json) {
    std::fputs(json.c_str(), out);
  } else {
    for (const FrameRange& part : plan.parts) std::fprintf(out, "%lld:%lld\n", (long long)part.first, (long long)part.end);
  }
  if (std::fflush(out) != 0) throw ToolError("standard output", "write failed");
  return plan;
}
