#pragma once
// AVX2 forms of the sample conversions for pixel pairs that share one chroma
// sample (4:2:0 and 4:2:2 rows), eight pixels at a time. SampleConverter
// (cli/conversion.h) uses them only after checking them against its tables
// for every input value, so they give exactly what the tables give.
#include <cstdint>

#include "engine/pixel.h"

// One direction's arithmetic for one kind of sample.
//   to the host:   round((min(code, max) - zero) x scale), scale = 4096 / den
//   from the host: min(max(floor(value x scale + zero + 0.5), 0), max),
//                  scale = den / 4096
// all in single precision.
struct ConversionScale {
  float zero = 0;
  float scale = 0;
  int32_t max = 0;
};

// Whether this processor runs the forms (false outside x86-64).
bool conversion_avx2_usable();

// Pixels 0 .. 8g - 1 of a row from its samples: y[x] and the chroma of pair
// k at cb[k], cr[k], each sample `bytes` (1, or 2 little-endian) wide.
void row_to_host_avx2(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, int bytes,
                      int32_t groups, const ConversionScale& luma,
                      const ConversionScale& chroma, PIXEL_YC* out);

// The luma samples of pixels 0 .. 8g - 1 into y (`bytes` wide).
void luma_from_host_avx2(const PIXEL_YC* in, int32_t groups, const ConversionScale& luma,
                         uint8_t* y, int bytes);

// The chroma of pairs 0 .. 4g - 1, each pixel's converted and the pair's two
// averaged as (a + b + 1) / 2, into cb[k], cr[k].
void chroma_from_host_avx2(const PIXEL_YC* in, int32_t groups, const ConversionScale& chroma,
                           unsigned* cb, unsigned* cr);
