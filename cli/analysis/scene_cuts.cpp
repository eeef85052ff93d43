#include "cli/analysis/scene_cuts.h"

#include <algorithm>

bool is_cut(double before, double at, double next, const CutRule& rule) {
  if (at < rule.min_difference || (before < 0 && next < 0)) return false;
  return at > rule.spike_ratio * std::max(before, next);
}
