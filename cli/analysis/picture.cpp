#include "cli/analysis/picture.h"

#include <cstring>

namespace {

void read_plane(Plane& plane, int width, int height, int bytes, float scale, const uint8_t*& p) {
  plane.resize(width, height);
  const size_t n = size_t(width) * size_t(height);
  float* out = plane.samples.data();
  if (bytes == 1) {
    for (size_t i = 0; i < n; ++i) out[i] = float(p[i]);
  } else {
    for (size_t i = 0; i < n; ++i) out[i] = float(uint16_t(p[2 * i] | (p[2 * i + 1] << 8))) * scale;
  }
  p += n * size_t(bytes);
}

}  // namespace

Picture picture_from_payload(const VideoFormat& format, PayloadLayout layout,
                             const uint8_t* payload) {
  Picture picture;
  if (layout == PayloadLayout::kHostPixels) {
    // Host units: luma 0..4096 spans 16..235 and chroma -2048..2048 spans
    // 16..240 of 8-bit codes; chroma is per pixel.
    const int w = format.width, h = format.height;
    for (Plane& plane : picture.planes) plane.resize(w, h);
    const size_t n = size_t(w) * size_t(h);
    for (size_t i = 0; i < n; ++i) {
      int16_t v[3];
      std::memcpy(v, payload + 6 * i, sizeof v);
      picture.planes[0].samples[i] = 16.0f + float(v[0]) * (219.0f / 4096.0f);
      picture.planes[1].samples[i] = 128.0f + float(v[1]) * (224.0f / 4096.0f);
      picture.planes[2].samples[i] = 128.0f + float(v[2]) * (224.0f / 4096.0f);
    }
    return picture;
  }
  const int bytes = format.bytes_per_sample();
  const float scale = 1.0f / float(1 << (format.bit_depth - 8));
  picture.max_code = float(format.max_sample()) * scale;
  const uint8_t* p = payload;
  read_plane(picture.planes[0], format.width, format.height, bytes, scale, p);
  read_plane(picture.planes[1], format.chroma_width(), format.chroma_height(), bytes, scale, p);
  read_plane(picture.planes[2], format.chroma_width(), format.chroma_height(), bytes, scale, p);
  return picture;
}

Plane half_size(const Plane& plane) {
  Plane half;
  half.resize(plane.width / 2, plane.height / 2);
  for (int y = 0; y < half.height; ++y) {
    const float* a = plane.row(2 * y);
    const float* b = plane.row(2 * y + 1);
    float* out = half.row(y);
    for (int x = 0; x < half.width; ++x) {
      out[x] = 0.25f * (a[2 * x] + a[2 * x + 1] + b[2 * x] + b[2 * x + 1]);
    }
  }
  return half;
}

Plane half_luma_from_payload(const VideoFormat& format, PayloadLayout layout, const uint8_t* payload) {
  Plane half;
  half.resize(format.width / 2, format.height / 2);
  auto sample = [&](int x, int y) -> float {
    const size_t i = size_t(y) * size_t(format.width) + size_t(x);
    if (layout == PayloadLayout::kHostPixels) {
      int16_t v;
      std::memcpy(&v, payload + 6 * i, sizeof v);
      return 16.0f + float(v) * (219.0f / 4096.0f);
    }
    if (format.bytes_per_sample() == 1) return float(payload[i]);
    return float(uint16_t(payload[2 * i] | (payload[2 * i + 1] << 8)));
  };
  const float scale = layout == PayloadLayout::kHostPixels ? 0.25f : 0.25f / float(1 << (format.bit_depth - 8));
  for (int y = 0; y < half.height; ++y) {
    float* out = half.row(y);
    for (int x = 0; x < half.width; ++x) {
      out[x] = scale * (sample(2 * x, 2 * y) + sample(2 * x + 1, 2 * y) + sample(2 * x, 2 * y + 1) +
                        sample(2 * x + 1, 2 * y + 1));
    }
  }
  return half;
}

Plane luma_from_payload(const VideoFormat& format, PayloadLayout layout, const uint8_t* payload, bool top_field) {
  Plane luma;
  const int step = top_field ? 2 : 1;
  luma.resize(format.width, (format.height + step - 1) / step);
  const float scale = 1.0f / float(1 << (format.bit_depth - 8));
  for (int r = 0; r < luma.height; ++r) {
    const size_t row = size_t(r * step) * size_t(format.width);
    float* out = luma.row(r);
    for (int x = 0; x < format.width; ++x) {
      const size_t i = row + size_t(x);
      if (layout == PayloadLayout::kHostPixels) {
        int16_t v;
        std::memcpy(&v, payload + 6 * i, sizeof v);
        out[x] = 16.0f + float(v) * (219.0f / 4096.0f);
      } else if (format.bytes_per_sample() == 1) {
        out[x] = float(payload[i]);
      } else {
        out[x] = float(uint16_t(payload[2 * i] | (payload[2 * i + 1] << 8))) * scale;
      }
    }
  }
  return luma;
}
