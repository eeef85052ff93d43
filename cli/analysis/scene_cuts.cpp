#include "cli/analysis/scene_cuts.h"

#include <algorithm>

bool is_cut(double before, double at, double next, const CutRule& rule) {
  if (at < rule.min_difference) return false;
  const double neighbour = std::max(before, next < 0 ? 0.0 : next);
  return at > rule.spike_ratio * neighbour;
}
