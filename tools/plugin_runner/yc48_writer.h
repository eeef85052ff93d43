#pragma once
// Raw YC48 output: every pixel as three little-endian signed 16-bit values
// y, cb, cr, rows top to bottom, frames one after another, no header. The
// bytes are the same whatever the machine's byte order.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/pixel.h"

// The file's bytes for the given pixels.
std::vector<uint8_t> yc48_bytes(const std::vector<PIXEL_YC>& pixels);

// Writes the bytes to path; false when the file cannot be written.
bool write_file(const std::string& path, const std::vector<uint8_t>& bytes);

// FNV-1a, 64-bit, of the bytes: a short fingerprint for the summary line.
uint64_t fnv1a64(const std::vector<uint8_t>& bytes);
