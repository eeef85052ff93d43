#include "cli/settings/auto_settings.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kAnimeCheck = 1;
enum : int { kW3dyl = 1, kW3dyh = 2, kW2dy = 3, kW3dcl = 4, kW3dch = 5, kW2dc = 6 };

// Threshold per code of noise: on a steady picture, and the least it falls
// to when the whole picture moves.
constexpr double kSteadyFactor = 12.0;
constexpr double kMovingFactor = 5.0;

int threshold(double factor, double noise) {
  return int(std::clamp(std::lround(factor * noise), 0L, long(kMaxThresholdTrack)));
}

}  // namespace

Settings auto_settings(const SceneFigures& figures, const Settings& base) {
  Settings s = base;
  const double motion = std::clamp(figures.motion, 0.0, 1.0);
  const double factor = kSteadyFactor + (kMovingFactor - kSteadyFactor) * motion;
  const double luma = figures.noise[0];
  const double chroma = 0.5 * (figures.noise[1] + figures.noise[2]);
  s.tracks[kFrameTrack] = 4;
  s.checks[kAnimeCheck] = 1;
  s.tracks[kW3dyl] = threshold(factor, luma);
  s.tracks[kW3dyh] = threshold(factor, luma);
  s.tracks[kW3dcl] = threshold(factor, chroma);
  s.tracks[kW3dch] = threshold(factor, chroma);
  s.tracks[kW2dy] = 0;
  s.tracks[kW2dc] = 0;
  return s;
}
