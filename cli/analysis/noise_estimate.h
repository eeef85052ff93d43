#pragma once
// Noise level of a plane, in 8-bit code units (the standard deviation of
// the noise added to each sample), from blocks of 8x8 samples.
//
// Temporal: the difference of two consecutive frames, the earlier shifted by
// the picture's whole-sample motion, is twice the noise variance where the
// content matched. Each block gives sqrt(variance of its differences / 2);
// the quietest blocks are those where nothing but noise changed, so a low
// percentile of the blocks, corrected for the spread that a pure-noise block
// has at that percentile, reads the noise.
//
// Spatial: the residual of a second-difference operator (it cancels any
// plane or ramp) carries 36 times the noise variance; the same low
// percentile over blocks, corrected the same way, reads the noise within one
// frame. It needs no second frame, so it cross-checks the temporal figure
// where motion is not a translation, but it reads spatially correlated
// noise (film grain, upscaled noise) low.
//
// Blocks that hold a sample at the ends of the code range (clipped noise),
// are exactly flat in both frames (inserted black bars, captions) or did not
// change at all between them (copied by a codec) say nothing about the noise
// and are left out.
#include <cstdint>
#include <vector>

#include "cli/analysis/picture.h"

// Block figures gathered over any number of frames or frame pairs.
class BlockNoise {
 public:
  // The difference cur - prev(x - dx, y - dy) over the blocks of cur that
  // overlap prev.
  void add_temporal(const Plane& prev, const Plane& cur, int dx, int dy, float max_code);
  // The residual within one frame; with `fields`, vertical neighbours are
  // taken two rows apart (the same field of an interlaced frame).
  void add_spatial(const Plane& plane, bool fields, float max_code);

  // Takes in another's blocks (of the same kind).
  void merge(const BlockNoise& other);
  size_t blocks() const { return sigmas_.size(); }
  // The noise estimate, or 0 without usable blocks.
  double estimate() const;
  // Share of the blocks whose figure stays within `factor` times the estimate:
  // how much of the picture the estimate stands for.
  double share_within(double factor) const;

 private:
  bool spatial_ = false;
  std::vector<float> sigmas_;
};

// The percentile of block figures that the estimate reads.
constexpr double kNoisePercentile = 0.10;
