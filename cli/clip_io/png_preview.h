#pragma once
// A PNG that shows one frame three times side by side: the input, the output
// and the difference (output luma minus input luma, amplified eight times,
// around mid grey), each converted from the host's units with BT.601 weights.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/pixel.h"

constexpr int kPreviewGap = 4;            // black columns between the panels
constexpr int kPreviewDifferenceGain = 8;

// The preview as 8-bit RGB rows: (3 x width + 2 x gap) x height pixels.
std::vector<uint8_t> render_preview(const PIXEL_YC* input, const PIXEL_YC* output, int width,
                                    int height, int stride);

// Writes 8-bit RGB rows as a PNG into `file`; a failure is a ToolError
// naming `name` and the cause.
void write_png(std::FILE* file, const std::string& name, const std::vector<uint8_t>& rgb, int width,
               int height);
