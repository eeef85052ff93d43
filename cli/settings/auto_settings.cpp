#include "cli/settings/auto_settings.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

constexpr int kAnimeCheck = 1;
enum : int { kW3dyl = 1, kW3dyh = 2, kW2dy = 3, kW3dcl = 4, kW3dch = 5, kW2dc = 6 };

// Thresholds per code of noise, fitted on the training clips (photos and
// drawn art, still and moving, noise of 1 to 10 codes; see
// bench/quality/): a still camera takes the most, a moving one less, since
// the window then holds the picture at other places; and as more of the
// picture changes beyond the noise between frames, the factor falls further
// so that moving detail is left out of the fit.
constexpr double kStillCameraFactor = 14.0;
constexpr double kMovingCameraFactor = 10.0;
// The camera counts as moving from this shift per frame (samples).
constexpr double kMovingCameraShift = 0.5;

// When the window follows the camera (see follows_camera): from this speed,
// where what the translation leaves moving is at most this share of what
// moves without it, or nearly nothing moves.
constexpr double kFollowedSpeed = 0.1;
constexpr double kExplainedShare = 0.6;
constexpr double kLittleMotion = 0.02;

// The share of the factor kept at a given share of moving blocks: all of it
// up to 15%, 70% at 60%, 40% at 85%, 15% when everything moves.
double motion_scale(double motion) {
  struct Point {
    double motion, scale;
  };
  constexpr Point curve[] = {{0.15, 1.0}, {0.60, 0.7}, {0.85, 0.4}, {1.0, 0.15}};
  if (motion <= curve[0].motion) return curve[0].scale;
  for (size_t i = 1; i < std::size(curve); ++i) {
    if (motion <= curve[i].motion) {
      const double t = (motion - curve[i - 1].motion) / (curve[i].motion - curve[i - 1].motion);
      return curve[i - 1].scale + t * (curve[i].scale - curve[i - 1].scale);
    }
  }
  return curve[std::size(curve) - 1].scale;
}

// Light noise is of the size of what else changes from frame to frame in real
// footage (the camera's own noise, a slight shake, compression): below three
// codes the factor eases, to 80% at one code.
double noise_scale(double noise) { return 0.8 + 0.2 * std::clamp((noise - 1.0) / 2.0, 0.0, 1.0); }

int threshold(double factor, double noise) {
  return int(std::clamp(std::lround(factor * noise), 0L, long(kMaxThresholdTrack)));
}

}  // namespace

Settings auto_settings(const SceneFigures& figures, const Settings& base, bool compensated) {
  Settings s = base;
  const double camera = compensated || figures.camera_shift < kMovingCameraShift ? kStillCameraFactor
                                                                                : kMovingCameraFactor;
  const double motion = compensated ? figures.residual_motion : figures.motion;
  const double factor = camera * motion_scale(std::clamp(motion, 0.0, 1.0)) * noise_scale(figures.noise[0]);
  const double luma = figures.noise[0];
  const double chroma = 0.5 * (figures.noise[1] + figures.noise[2]);
  s.tracks[kTrackFrame] = 4;
  s.checks[kAnimeCheck] = 1;
  s.tracks[kW3dyl] = threshold(factor, luma);
  s.tracks[kW3dyh] = threshold(factor, luma);
  s.tracks[kW3dcl] = threshold(factor, chroma);
  s.tracks[kW3dch] = threshold(factor, chroma);
  s.tracks[kW2dy] = 0;
  s.tracks[kW2dc] = 0;
  return s;
}

bool follows_camera(const SceneFigures& f) {
  if (f.camera_speed < kFollowedSpeed) return false;
  return f.motion < kLittleMotion || f.residual_motion <= kExplainedShare * f.motion;
}
