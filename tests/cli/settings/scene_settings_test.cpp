// How a scene's settings are put together: the preset (or the scene's
// measurement), then the options given one by one, then --strength; and how
// thresholds past the plug-in's range reach the module.
#include "cli/settings/scene_settings.h"

#include <gtest/gtest.h>

#include <cmath>

#include "cli/settings/auto_settings.h"
#include "host/stand_in_host.h"
#include "plugin/module_state.h"
#include "plugin/threshold_factors.h"

namespace {

enum : int { kW3dyl = 1, kW3dyh = 2, kW2dy = 3, kW3dcl = 4, kGainY = 8, kMosqNr = 14, kAnime = 1 };

DenoiseOptions given(std::initializer_list<std::pair<int, int>> tracks, double strength = 1.0) {
  DenoiseOptions o = default_denoise_options(*GetFilterTable());
  for (auto [track, value] : tracks) {
    o.tracks[size_t(track)] = value;
    o.track_given[size_t(track)] = true;
  }
  o.strength = strength;
  return o;
}

TEST(SceneSettings, OptionsGivenOverrideThePresetOneByOne) {
  const FILTER_DLL& table = *GetFilterTable();
  SceneFigures noisy;
  noisy.noise[0] = noisy.noise[1] = noisy.noise[2] = 4.0;
  const Settings measured = auto_settings(noisy, table_settings(table));
  ASSERT_GT(measured.tracks[kW3dyh], table.track_default[kW3dyh]);

  DenoiseOptions options = given({{kW3dyh, 7}, {kGainY, 20}});
  options.checks[kAnime] = 0;
  options.check_given[kAnime] = true;
  const Settings s = with_command_line(measured, options);
  EXPECT_EQ(s.tracks[kW3dyh], 7);
  EXPECT_EQ(s.tracks[kGainY], 20);
  EXPECT_EQ(s.checks[kAnime], 0);
  // Everything not given stays as chosen.
  EXPECT_EQ(s.tracks[kW3dyl], measured.tracks[kW3dyl]);
  EXPECT_EQ(s.tracks[kW3dcl], measured.tracks[kW3dcl]);
  EXPECT_EQ(s.tracks[kTrackFrame], measured.tracks[kTrackFrame]);

  // Without options, none is the table itself.
  EXPECT_EQ(with_command_line(preset_settings(Preset::kNone, table), given({})), table_settings(table));
}

TEST(SceneSettings, StrengthScalesEveryNoiseThresholdAndNothingElse) {
  const FILTER_DLL& table = *GetFilterTable();
  const Settings base = preset_settings(Preset::kStrong, table);
  const Settings s = with_command_line(base, given({{kW2dy, 3}}, 2.5));
  for (int i = 0; i < kTrackCount; ++i) {
    const int expected = i == kW2dy ? 8 : is_threshold_track(i) ? int(std::lround(base.tracks[size_t(i)] * 2.5))
                                                                : base.tracks[size_t(i)];
    EXPECT_EQ(s.tracks[size_t(i)], expected) << kTrackOptionNames[i];
  }
  EXPECT_EQ(with_command_line(base, given({}, 10.0)).tracks[kW3dyl], kMaxThresholdTrack);
}

TEST(SceneSettings, ThresholdsPastTheTracksReachTheModuleScaled) {
  const FILTER_DLL* table = GetFilterTable();
  StandInHost host(const_cast<FILTER_DLL*>(table), HostOptions{});
  ASSERT_TRUE(host.init());
  Settings s = table_settings(*table);
  s.tracks[kW3dyh] = 60;  // twice the plug-in's largest
  s.tracks[kW3dyl] = 30;
  s.tracks[kMosqNr] = 20;
  apply_settings(host, s);
  // The host holds values the plug-in accepts; the module acts on 60.
  EXPECT_EQ(host.track(kW3dyh), 30);
  EXPECT_EQ(FilterParams.w3dyh_threshold[0], float(60 * 1.25 + double(0.1f)));
  EXPECT_EQ(FilterParams.w3dyh_threshold[2], float(60 * 3 + double(0.1f)));
  EXPECT_EQ(FilterParams.w3dyl_threshold_upper, float(30 * 4 + double(0.1f)));
  EXPECT_EQ(host.track(kMosqNr), 20);
  // Back within the range, nothing is scaled any more.
  s.tracks[kW3dyh] = 12;
  apply_settings(host, s);
  EXPECT_EQ(FilterParams.w3dyh_threshold[0], float(12 * 1.25 + double(0.1f)));
  reset_threshold_factors();
}

}  // namespace

// Figures measured on the training clips: the window follows every camera
// that moves, however slowly, but not objects that draw the translation off
// zero over a still background (following them cost 1.1 to 1.2 dB there).
TEST(AutoSettings, TheWindowFollowsTheCameraNotObjectsOverAStillOne) {
  auto figures = [](double speed, double motion, double residual) {
    SceneFigures f;
    f.camera_speed = speed;
    f.motion = motion;
    f.residual_motion = residual;
    return f;
  };
  EXPECT_TRUE(follows_camera(figures(2.43, 0.59, 0.057)));    // a pan
  EXPECT_TRUE(follows_camera(figures(0.81, 0.163, 0.089)));   // drawn art panned, much left moving
  EXPECT_TRUE(follows_camera(figures(0.41, 0.0, 0.0)));       // a slow sub-sample pan
  EXPECT_TRUE(follows_camera(figures(0.29, 0.0106, 0.0039)));  // a shaking camera
  EXPECT_FALSE(follows_camera(figures(0.29, 0.0697, 0.0462)));  // objects walking over a still shot
  EXPECT_FALSE(follows_camera(figures(0.28, 0.0983, 0.1056)));
  EXPECT_FALSE(follows_camera(figures(1.50, 0.0419, 0.0345)));  // a large object read as a fast pan
  EXPECT_FALSE(follows_camera(figures(0.005, 0.0, 0.0)));       // a still shot
}
