#pragma once
// A frame as the clip analysis reads it: three planes of float samples in
// 8-bit code units (a 10-bit sample of 4 reads 1.0), at the planes' own
// resolutions, so that noise figures mean the same at every bit depth and
// chroma samples are never counted twice.
#include <array>
#include <cstdint>
#include <vector>

#include "cli/video_format.h"

struct Plane {
  int width = 0;
  int height = 0;
  std::vector<float> samples;  // rows of `width`, tightly packed

  void resize(int w, int h) {
    width = w;
    height = h;
    samples.assign(size_t(w) * size_t(h), 0.0f);
  }
  float at(int x, int y) const { return samples[size_t(y) * size_t(width) + size_t(x)]; }
  const float* row(int y) const { return samples.data() + size_t(y) * size_t(width); }
  float* row(int y) { return samples.data() + size_t(y) * size_t(width); }
};

struct Picture {
  std::array<Plane, 3> planes;  // Y, Cb, Cr
  float max_code = 255.0f;      // the largest sample value, in the same units
};

// How a stored frame is laid out: y4m planes of native samples, or raw host
// frames (three int16 values y, cb, cr per pixel in the host's units).
enum class PayloadLayout { kPlanarSamples, kHostPixels };

// Reads a frame's payload as stored in the clip.
Picture picture_from_payload(const VideoFormat& format, PayloadLayout layout,
                             const uint8_t* payload);

// The luma plane at half size both ways (2x2 means), straight from the
// payload: all that telling cuts apart needs.
Plane half_luma_from_payload(const VideoFormat& format, PayloadLayout layout, const uint8_t* payload);

// The luma plane at full size, or with `top_field` only its even rows (one
// field of an interlaced frame).
Plane luma_from_payload(const VideoFormat& format, PayloadLayout layout, const uint8_t* payload,
                        bool top_field = false);

// Halves a plane in both directions (2x2 means; a last odd row or column is
// dropped).
Plane half_size(const Plane& plane);
