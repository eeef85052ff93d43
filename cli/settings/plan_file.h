#pragma once
// A plan of a clip made by `quietloom plan`: the clip's format and length,
// its scenes with what was measured of each and the settings `--preset auto`
// chose for it (before the command line's options), and the parts the clip
// is split into. A run given the plan (`--settings PLAN.json`) takes the
// scenes and settings from it instead of measuring, so it reads only the
// frames its range needs.
//
// The file is JSON. A reader checks everything it takes: scenes that cover
// the clip one after another, every track within the range the tool accepts
// and every check on or off; anything else is a one-line ToolError naming
// the file and the place.
#include <cstdint>
#include <string>
#include <vector>

#include "cli/analysis/clip_analyser.h"
#include "cli/settings/scene_settings.h"
#include "cli/video_format.h"
#include "plugin/host_api.h"

struct FrameRange {
  int64_t first = 0;
  int64_t end = 0;  // one past the last frame
};

struct PlannedScene {
  int64_t first = 0;
  int64_t end = 0;
  SceneFigures figures;  // for people; a run does not use them
  Settings settings;     // the field check is left to the run
  bool follow_camera = false;  // --motion auto lines the window up with the camera
};

struct ClipPlan {
  std::string input;
  int width = 0;
  int height = 0;
  std::string chroma_tag;
  Interlace interlace = Interlace::kUnstated;
  bool fields_apart = false;  // the scenes were measured field by field
  int64_t frames = 0;
  std::vector<PlannedScene> scenes;
  std::vector<FrameRange> parts;

  // The scene that frame f (0 <= f < frames) belongs to.
  const PlannedScene& scene_of(int64_t f) const;
};

// The plan as JSON (one object, indented, with a final newline).
std::string plan_to_json(const ClipPlan& plan, const FILTER_DLL& table);
ClipPlan plan_from_json(const std::string& text, const std::string& name, const FILTER_DLL& table);
ClipPlan read_plan_file(const std::string& path, const FILTER_DLL& table);

// A digest of what the plan gives a run: the clip's format and length, the
// scenes and their settings (not the parts, nor the figures).
std::string plan_digest(const ClipPlan& plan);

// Whether the plan was made for a clip of this format; "" when it was, else
// what differs, e.g. "the plan is for 1920x1080 frames".
std::string plan_mismatch(const ClipPlan& plan, const VideoFormat& format);
