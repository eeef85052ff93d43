#include "cli/conversion.h"

#include <algorithm>

int64_t divide_rounded(int64_t num, int64_t den) {
  return num >= 0 ? (2 * num + den) / (2 * den) : -((-2 * num + den) / (2 * den));
}

SampleConverter::SampleConverter(const VideoFormat& format, bool interlaced_chroma)
    : format_(format), interlaced_chroma_(interlaced_chroma) {
  const int64_t b = format.bit_depth;
  const int64_t s = int64_t(1) << (b - 8);
  const int64_t max = (int64_t(1) << b) - 1;
  const int64_t half = int64_t(1) << (b - 1);
  // Sample -> host: num / den after removing the black level or the centre.
  const int64_t luma_den = format.full_range ? max : 219 * s;
  const int64_t chroma_den = format.full_range ? max : 224 * s;
  const int64_t luma_zero = format.full_range ? 0 : 16 * s;
  const int64_t chroma_zero = format.full_range ? half : 128 * s;

  luma_in_.resize(size_t(max + 1));
  chroma_in_.resize(size_t(max + 1));
  for (int64_t v = 0; v <= max; ++v) {
    luma_in_[size_t(v)] = int16_t(divide_rounded((v - luma_zero) * 4096, luma_den));
    chroma_in_[size_t(v)] = int16_t(divide_rounded((v - chroma_zero) * 4096, chroma_den));
  }
  luma_out_.resize(65536);
  chroma_out_.resize(65536);
  for (int64_t h = -32768; h <= 32767; ++h) {
    int64_t luma = divide_rounded(h * luma_den + luma_zero * 4096, 4096);
    int64_t chroma = divide_rounded(h * chroma_den + chroma_zero * 4096, 4096);
    luma_out_[size_t(h + 32768)] = uint16_t(std::clamp<int64_t>(luma, 0, max));
    chroma_out_[size_t(h + 32768)] = uint16_t(std::clamp<int64_t>(chroma, 0, max));
  }
}

int16_t SampleConverter::luma_to_host(unsigned sample) const {
  return luma_in_[std::min<size_t>(sample, luma_in_.size() - 1)];
}
int16_t SampleConverter::chroma_to_host(unsigned sample) const {
  return chroma_in_[std::min<size_t>(sample, chroma_in_.size() - 1)];
}
uint16_t SampleConverter::luma_from_host(int value) const {
  return luma_out_[size_t(std::clamp(value, -32768, 32767) + 32768)];
}
uint16_t SampleConverter::chroma_from_host(int value) const {
  return chroma_out_[size_t(std::clamp(value, -32768, 32767) + 32768)];
}

int SampleConverter::chroma_row_of(int r) const {
  if (format_.chroma != ChromaFormat::k420) return r;
  int c = interlaced_chroma_ ? (r / 4) * 2 + (r % 2) : r / 2;
  // An interlaced frame whose height is not a multiple of 4 has a last
  // chroma row serving a single luma row; clamp rather than read past it.
  return std::min(c, format_.chroma_height() - 1);
}

void SampleConverter::chroma_row_users(int c, int& first, int& second) const {
  if (format_.chroma != ChromaFormat::k420) {
    first = c;
    second = -1;
    return;
  }
  if (interlaced_chroma_) {
    first = (c / 2) * 4 + (c % 2);
    second = first + 2;
  } else {
    first = 2 * c;
    second = first + 1;
  }
  if (first >= format_.height) first = format_.height - 1;  // see chroma_row_of
  if (second >= format_.height || chroma_row_of(second) != c) second = -1;
}

void SampleConverter::to_host(const PlanarFrame& frame, PIXEL_YC* dst, int stride) const {
  const int w = format_.width;
  const int cw = format_.chroma_width();
  const bool subsampled = format_.chroma != ChromaFormat::k444;
  for (int r = 0; r < format_.height; ++r) {
    const uint16_t* y = frame.plane[0].data() + size_t(r) * w;
    const size_t crow = size_t(chroma_row_of(r)) * cw;
    const uint16_t* cb = frame.plane[1].data() + crow;
    const uint16_t* cr = frame.plane[2].data() + crow;
    PIXEL_YC* out = dst + size_t(r) * stride;
    for (int x = 0; x < w; ++x) {
      const int cx = subsampled ? x / 2 : x;
      out[x].y = luma_to_host(y[x]);
      out[x].cb = chroma_to_host(cb[cx]);
      out[x].cr = chroma_to_host(cr[cx]);
    }
  }
}

void SampleConverter::from_host(const PIXEL_YC* src, int stride, PlanarFrame& frame) const {
  frame.allocate(format_);
  const int w = format_.width;
  const int cw = format_.chroma_width();
  for (int r = 0; r < format_.height; ++r) {
    const PIXEL_YC* in = src + size_t(r) * stride;
    uint16_t* y = frame.plane[0].data() + size_t(r) * w;
    for (int x = 0; x < w; ++x) y[x] = luma_from_host(in[x].y);
  }
  // One chroma row from one host row: per pixel, or pixel pairs averaged.
  auto chroma_row = [&](const PIXEL_YC* in, int plane, uint16_t* out) {
    for (int k = 0; k < cw; ++k) {
      if (format_.chroma == ChromaFormat::k444) {
        out[k] = chroma_from_host(plane == 1 ? in[k].cb : in[k].cr);
        continue;
      }
      const int x0 = 2 * k;
      const int x1 = std::min(x0 + 1, w - 1);
      unsigned a = chroma_from_host(plane == 1 ? in[x0].cb : in[x0].cr);
      unsigned b = chroma_from_host(plane == 1 ? in[x1].cb : in[x1].cr);
      out[k] = uint16_t((a + b + 1) / 2);
    }
  };
  std::vector<uint16_t> second_row(static_cast<size_t>(cw));
  for (int c = 0; c < format_.chroma_height(); ++c) {
    int first = 0, second = 0;
    chroma_row_users(c, first, second);
    for (int plane = 1; plane <= 2; ++plane) {
      uint16_t* out = frame.plane[plane].data() + size_t(c) * cw;
      chroma_row(src + size_t(first) * stride, plane, out);
      if (second < 0) continue;
      chroma_row(src + size_t(second) * stride, plane, second_row.data());
      for (int k = 0; k < cw; ++k) out[k] = uint16_t((out[k] + second_row[k] + 1u) / 2);
    }
  }
}
