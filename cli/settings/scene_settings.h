#pragma once
// The settings a run hands to the module for a scene: the sixteen tracks and
// five checks, where the six noise-threshold tracks hold the value they act
// as, which may pass the plug-in's 30 (the host gets 30 and the module a
// factor on it). They come from the preset, or from the scene's measurement
// under `auto`; the options given on the command line then override them
// one by one, and --strength scales the thresholds.
#include <array>
#include <string>

#include "cli/options.h"

class StandInHost;

struct Settings {
  std::array<int, kTrackCount> tracks{};
  std::array<int, kCheckCount> checks{};

  bool operator==(const Settings&) const = default;
};

// The plug-in table's defaults: what `--preset none` starts from.
Settings table_settings(const FILTER_DLL& table);
// The fixed presets (none, light, strong); auto has no fixed settings.
Settings preset_settings(Preset preset, const FILTER_DLL& table);
// The options given override `chosen` where given; --strength scales the
// noise thresholds (to the nearest whole track value).
Settings with_command_line(Settings chosen, const DenoiseOptions& options);
// A scene of `length` frames (-1: not known yet) shorter than the temporal
// window would see its own frames twice over in it: the radius is lowered to
// length - 1 (to 1 for a single frame). Returns whether it was lowered.
bool fit_window_to_scene(Settings& settings, int64_t length);
// Hands the settings to the host and the module and recomputes the module's
// parameters (which also empties its frame slots).
void apply_settings(StandInHost& host, const Settings& settings);
// The options that give these settings with `--preset none`: those that
// differ from the table's defaults, e.g. "--frame 4 --anime --w3dyh 45".
std::string describe_settings(const Settings& settings, const FILTER_DLL& table);
