#pragma once
// Motion the camera's translation does not explain (people walking, objects
// moving): a frame already moved onto the window's centre by the camera's
// translation is moved again block by block, each 16x16 block by the
// whole-sample vector that matches the centre best, searched around the
// camera's. The interpolation stays the camera's (whole samples are copied),
// so the noise of the moved frame stays as white as the translation left it.
//
// A block takes a vector other than the camera's only when it matches the
// centre clearly better with it (by a fifth or more of its sum of absolute
// luma differences); where no vector explains the block, the camera's one
// stays and the temporal fit's thresholds leave out what does not match.
#include <cstdint>
#include <vector>

#include "engine/pixel.h"

struct BlockMoveStats {
  int64_t blocks = 0;
  int64_t moved = 0;  // blocks that took a vector of their own
};

// The 8-bit luma plane the search compares (the host's units are 16 to a
// code): made once for a window's centre and matched against every frame
// of the window.
std::vector<uint8_t> matching_luma(const PIXEL_YC* frame, int width, int height, int stride);

// out = moved with each block of the width x height picture displaced to
// match the centre whose matching_luma is given (rows `stride` pixels
// apart; out's rows are written over the picture's width only). With
// `fields` vertical vectors are even, so that every block keeps to its own
// field. No vector takes samples from outside the picture. out may be moved
// itself (the frame is then moved in place, with no copy of it made).
BlockMoveStats move_blocks(const std::vector<uint8_t>& centre_luma, const PIXEL_YC* moved, PIXEL_YC* out,
                           int width, int height, int stride, bool fields);
