#pragma once
// A scene's measured figures and settings as JSON, as plan files and
// `quietloom analyse --json` write them (for either of nlohmann's object
// types: plans keep their keys in order).
#include <cmath>

#include "cli/analysis/clip_analyser.h"
#include "cli/options.h"
#include "cli/settings/scene_settings.h"

// The figures rounded to what they mean: noise to a thousandth of a code,
// shares to a ten-thousandth, shifts to a hundredth, speeds to a thousandth
// of a sample.
template <class Json>
void put_scene_figures(Json& scene, const SceneFigures& f) {
  auto rounded = [](double v, double step) { return std::round(v / step) * step; };
  scene["measured_frames"] = f.frames;
  scene["noise"] = {{"y", rounded(f.noise[0], 0.001)}, {"cb", rounded(f.noise[1], 0.001)},
                    {"cr", rounded(f.noise[2], 0.001)}};
  scene["motion"] = rounded(f.motion, 0.0001);
  scene["residual_motion"] = rounded(f.residual_motion, 0.0001);
  scene["camera_shift"] = rounded(f.camera_shift, 0.01);
  scene["camera_speed"] = rounded(f.camera_speed, 0.001);
}

// {"tracks": {option name: value}, "checks": {option name: on}} (the field
// check is left out: a run takes it from the clip and its options).
template <class Json>
Json settings_json(const Settings& s) {
  Json tracks = Json::object(), checks = Json::object();
  for (int i = 0; i < kTrackCount; ++i) tracks[kTrackOptionNames[i] + 2] = s.tracks[size_t(i)];
  for (int i = 1; i < kCheckCount; ++i) checks[kCheckOptionNames[i] + 2] = s.checks[size_t(i)] == 1;
  return Json{{"tracks", tracks}, {"checks", checks}};
}
