#pragma once
// The chain that prepares one window frame before its spatial decomposition:
// the host frame as a padded private copy, then block NR, mosquito NR and the
// simple cross-colour reduction as their checks ask.
#include <cstdint>

#include "plugin/host_api.h"

struct FrameGeometry {
  int32_t w, h;                // the frame's own size
  int32_t padded_w, padded_h;  // rounded up to multiples of 16
};

// Returns the prepared frame of clip frame m (rows max_w pixels apart,
// padded_w x padded_h valid), or nullptr when the host delivered no frame.
// During the call fpip->w and fpip->h are the padded size.
const PIXEL_YC* prepare_prestages(FILTER* fp, FILTER_PROC_INFO* fpip, int32_t m,
                                  const FrameGeometry& geometry);

// Frees the private copies.
void release_prestage_buffers();
