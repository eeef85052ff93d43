#pragma once
// The command line: `quietloom [OPTIONS] INPUT OUTPUT`, `quietloom compare A
// B` and `quietloom demo [DIR]`. Track and check options take their defaults
// and ranges from the module's plug-in table.
#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/video_format.h"
#include "engine/engine_kernels.h"
#include "plugin/filter_settings.h"
#include "plugin/host_api.h"

// Option names by track and check index.
extern const char* const kTrackOptionNames[kTrackCount];
extern const char* const kCheckOptionNames[kCheckCount];

// The largest term of a frame rate that a YUV4MPEG2 header carries.
constexpr int64_t kMaxRateTerm = 999999999;

// The six tracks that set noise thresholds (W3DYL, W3DYH, W2DY, W3DCL, W3DCH,
// W2DC). The tool takes them up to this value: past the plug-in's range of
// 30 it scales the thresholds the module derives (see
// plugin/threshold_factors.h).
constexpr int kMaxThresholdTrack = 300;
bool is_threshold_track(int track);

// Where the settings come from before the options given override them:
// measured from each scene (auto), the module's own defaults (none), or
// fixed settings for light or heavy noise.
enum class Preset { kAuto, kNone, kLight, kStrong };
const char* preset_name(Preset preset);

// Motion compensation of the temporal window: none, the camera's
// translation, that and a vector per block, or the translation where the
// scene's camera moves. Not given: auto under every preset but none, where
// it is off.
enum class MotionMode { kDefault, kOff, kGlobal, kLocal, kAuto };
const char* motion_name(MotionMode motion);  // as --motion takes it; "" for kDefault
std::string motion_option(MotionMode motion);  // " --motion NAME", for the options a run prints
// What a window that `--motion auto` has follow the camera does: the
// camera's translation, then block vectors for what moves on its own (on
// pans as good as the translation alone, on zooms and walking people better,
// at about a quarter more time).
constexpr MotionMode kAutoFollowing = MotionMode::kLocal;

struct FrameSize {
  int width = 0;
  int height = 0;
};

struct PreviewRequest {
  int64_t frame = 0;
  std::string path;
};

struct DenoiseOptions {
  std::string input;
  std::string output;
  std::array<int, kTrackCount> tracks{};
  std::array<int, kCheckCount> checks{};
  // Which tracks and checks the command line set; the preset chooses the rest.
  std::array<bool, kTrackCount> track_given{};
  std::array<bool, kCheckCount> check_given{};
  bool field_given = false;  // --field or --no-field was on the command line
  Preset preset = Preset::kAuto;
  MotionMode motion = MotionMode::kDefault;
  double strength = 1.0;     // factor on every noise threshold the settings give
  int threads = 0;           // 0 = one worker per core
  std::optional<KernelLevel> simd;  // unset: the highest the processor allows
  int64_t range_first = 0;
  int64_t range_end = -1;    // -1 = to the end of the clip
  bool force_progress = false;
  bool quiet = false;
  std::optional<PreviewRequest> preview;
  FrameSize yc48_size;       // needed for .yc48 input
  Rational yc48_rate{25, 1}; // frame rate written for .yc48 input
  bool yc48_rate_given = false;  // --fps was on the command line
  std::vector<std::string> encoder_args;
  std::string settings_plan;  // --settings: scenes and settings from this plan
};

struct CompareOptions {
  std::string first;
  std::string second;
  FrameSize yc48_size;
};

struct AnalyseOptions {
  std::string input;
  bool json = false;
  FrameSize yc48_size;
  bool field_given = false;
  bool field = false;
};

struct PlanOptions {
  std::string input;
  int64_t parts = 0;         // --parts N, or
  int64_t part_frames = 0;   // --part-frames K
  bool json = false;
  std::string save;          // --save PLAN.json
  FrameSize yc48_size;
  bool field_given = false;
  bool field = false;
  bool quiet = false;
};

struct JoinOptions {
  std::vector<std::string> parts;
  std::string output;
};

struct DemoOptions {
  std::string directory = "quietloom-demo";
  int threads = 0;
};

enum class Command { kDenoise, kCompare, kAnalyse, kPlan, kJoin, kDemo, kExit };

struct CommandLine {
  Command command = Command::kExit;
  int exit_status = 0;       // for kExit: 0 after --help or --version, 2 on a usage error
  DenoiseOptions denoise;
  CompareOptions compare;
  AnalyseOptions analyse;
  PlanOptions plan;
  JoinOptions join;
  DemoOptions demo;
};

// Throws ToolError when the table does not declare the tracks and checks
// this tool knows.
void check_filter_table(const FILTER_DLL& table);

// The settings of the plug-in table's defaults.
DenoiseOptions default_denoise_options(const FILTER_DLL& table);

// Parses argv; help, version and usage errors are printed to `out` or `err`
// and reported as Command::kExit.
CommandLine parse_command_line(int argc, const char* const* argv, const FILTER_DLL& table,
                               std::FILE* out, std::FILE* err);

// Helpers for option values; each throws ToolError (exit status 2) naming
// the option when the text is malformed.
FrameSize parse_frame_size(const std::string& option, const std::string& text);
Rational parse_rate(const std::string& option, const std::string& text);
void parse_range(const std::string& text, int64_t& first, int64_t& end);
PreviewRequest parse_preview(const std::string& text);
