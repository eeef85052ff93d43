#pragma once
// Simple cross-colour reduction: near luma edges, chroma that jumps against
// the neighbouring frames in a way luma does not explain is averaged with the
// neighbours whose luma matches. Rewrites cb and cr of `cur` in place.
#include <cstdint>

#include "engine/pixel.h"

struct CrossColourJob {
  PIXEL_YC* cur = nullptr;          // written in place (chroma only)
  const PIXEL_YC* prev2 = nullptr;  // null for a frame outside the clip: `cur` stands in
  const PIXEL_YC* prev1 = nullptr;
  const PIXEL_YC* next1 = nullptr;
  const PIXEL_YC* next2 = nullptr;
  int32_t stride = 0;
  int32_t w = 0;                    // padded width
  int32_t h = 0;                    // padded height
  int32_t strength = 0;             // track "CCE-CL", 0 .. 20
};

void cross_colour_reduce(const CrossColourJob& job);

// The same stage in its plain form, the edge gate kept as a sliding count of
// steep steps: the reference for cross_colour_reduce.
void cross_colour_reduce_c(const CrossColourJob& job);
