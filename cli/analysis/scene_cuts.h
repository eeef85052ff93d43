#pragma once
// Scene cuts from the sequence of frame differences. d[t] is the mean
// absolute difference between frames t - 1 and t on a small copy of the
// luma plane, after the best whole-sample shift (so a pan, a zoom or a
// moving object stays small); d[0] is 0. A cut before frame t stands out
// as a spike: d[t] well above its neighbours d[t - 1] and d[t + 1] and
// above what noise and motion give. A fade spreads its change over many
// frames and a pan keeps its differences level, so neither makes a spike.
#include <cstdint>
#include <vector>

struct CutRule {
  double min_difference = 5.0;  // 8-bit code units on the small copy
  double spike_ratio = 2.5;     // d[t] against the larger neighbour
};

// Whether frame t starts a new scene, from d[t - 1], d[t] and d[t + 1]. A
// neighbour that does not exist (d[t - 1] for t = 1, d[t + 1] at the clip's
// end) is passed as -1; with neither there is no telling a cut from motion,
// and none is found.
bool is_cut(double before, double at, double next, const CutRule& rule = {});
