#include "cli/settings/scene_settings.h"

#include <algorithm>
#include <cmath>

#include "host/stand_in_host.h"
#include "plugin/threshold_factors.h"

namespace {

constexpr int kAnimeCheck = 1;
constexpr int kPluginThresholdMax = 30;

}  // namespace

Settings table_settings(const FILTER_DLL& table) {
  Settings s;
  for (int i = 0; i < kTrackCount; ++i) s.tracks[size_t(i)] = table.track_default[i];
  for (int i = 0; i < kCheckCount; ++i) s.checks[size_t(i)] = table.check_default[i];
  return s;
}

Settings preset_settings(Preset preset, const FILTER_DLL& table) {
  Settings s = table_settings(table);
  if (preset == Preset::kLight || preset == Preset::kStrong) {
    // Light: about one 8-bit code of noise, safe on moving pictures.
    // Strong: two to three codes on a steady camera.
    const bool strong = preset == Preset::kStrong;
    s.tracks[kTrackFrame] = strong ? 4 : 3;
    s.checks[kAnimeCheck] = 1;
    for (int t : {1, 2}) s.tracks[size_t(t)] = strong ? 30 : 12;  // W3DYL, W3DYH
    for (int t : {4, 5}) s.tracks[size_t(t)] = strong ? 30 : 12;  // W3DCL, W3DCH
  }
  return s;
}

Settings with_command_line(Settings chosen, const DenoiseOptions& options) {
  for (int i = 0; i < kTrackCount; ++i) {
    if (options.track_given[size_t(i)]) chosen.tracks[size_t(i)] = options.tracks[size_t(i)];
  }
  for (int i = 0; i < kCheckCount; ++i) {
    if (options.check_given[size_t(i)]) chosen.checks[size_t(i)] = options.checks[size_t(i)];
  }
  if (options.strength != 1.0) {
    for (int i = 0; i < kTrackCount; ++i) {
      if (!is_threshold_track(i)) continue;
      const double scaled = std::round(chosen.tracks[size_t(i)] * options.strength);
      chosen.tracks[size_t(i)] = int(std::fmin(scaled, double(kMaxThresholdTrack)));
    }
  }
  return chosen;
}

bool fit_window_to_scene(Settings& settings, int64_t length) {
  int& radius = settings.tracks[kTrackFrame];
  if (length < 1 || length > radius) return false;
  const int lowered = std::max<int>(1, int(length) - 1);
  if (lowered == radius) return false;
  radius = lowered;
  return true;
}

void apply_settings(StandInHost& host, const Settings& settings) {
  reset_threshold_factors();
  for (int i = 0; i < kTrackCount; ++i) {
    int value = settings.tracks[size_t(i)];
    if (is_threshold_track(i) && value > kPluginThresholdMax) {
      set_threshold_factor(i, double(value) / kPluginThresholdMax);
      value = kPluginThresholdMax;
    }
    host.set_track(i, value);
  }
  for (int i = 0; i < kCheckCount; ++i) host.set_check(i, settings.checks[size_t(i)]);
  host.update(0);
}

std::string describe_settings(const Settings& settings, const FILTER_DLL& table) {
  std::string text;
  auto add = [&text](const std::string& option) {
    if (!text.empty()) text += ' ';
    text += option;
  };
  for (int i = 0; i < kTrackCount; ++i) {
    if (settings.tracks[size_t(i)] != table.track_default[i]) {
      add(std::string(kTrackOptionNames[i]) + " " + std::to_string(settings.tracks[size_t(i)]));
    }
  }
  for (int i = 0; i < kCheckCount; ++i) {
    if (i == kCheckFieldMode || settings.checks[size_t(i)] == table.check_default[i]) continue;
    const std::string name = kCheckOptionNames[i];
    add(settings.checks[size_t(i)] == 1 ? name : "--no-" + name.substr(2));
  }
  return text.empty() ? "the module's defaults" : text;
}
