#include "plugin/threshold_factors.h"

#include <cmath>

#include "plugin/filter_settings.h"

namespace {

double Factors[kTrackCount] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};

bool is_threshold_track(int track) {
  return track == kTrackW3dyl || track == kTrackW3dyh || track == kTrackW2dy ||
         track == kTrackW3dcl || track == kTrackW3dch || track == kTrackW2dc;
}

}  // namespace

void set_threshold_factor(int track, double factor) {
  if (!is_threshold_track(track) || !std::isfinite(factor) || factor <= 0) return;
  Factors[track] = factor;
}

double threshold_factor(int track) {
  return track >= 0 && track < kTrackCount ? Factors[track] : 1.0;
}

void reset_threshold_factors() {
  for (double& f : Factors) f = 1.0;
}
