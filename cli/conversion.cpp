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

  // Both directions are tables over every 16-bit value, so that the frame
  // loops index them without a range check; samples above the bit depth's
  // maximum (which a malformed file can hold) read as the maximum.
  luma_in_.resize(65536);
  chroma_in_.resize(65536);
  for (int64_t v = 0; v < 65536; ++v) {
    const int64_t code = std::min(v, max);
    luma_in_[size_t(v)] = int16_t(divide_rounded((code - luma_zero) * 4096, luma_den));
    chroma_in_[size_t(v)] = int16_t(divide_rounded((code - chroma_zero) * 4096, chroma_den));
  }
  luma_out_.resize(65536);
  chroma_out_.resize(65536);
  for (int64_t h = -32768; h <= 32767; ++h) {
    int64_t luma = divide_rounded(h * luma_den + luma_zero * 4096, 4096);
    int64_t chroma = divide_rounded(h * chroma_den + chroma_zero * 4096, 4096);
    luma_out_[size_t(h + 32768)] = uint16_t(std::clamp<int64_t>(luma, 0, max));
    chroma_out_[size_t(h + 32768)] = uint16_t(std::clamp<int64_t>(chroma, 0, max));
  }

  // The row forms compute in single precision; they are used only where they
  // give the tables' value for every input of this format.
  luma_in_scale_ = {float(luma_zero), float(4096.0 / double(luma_den)), int32_t(max)};
  chroma_in_scale_ = {float(chroma_zero), float(4096.0 / double(chroma_den)), int32_t(max)};
  luma_out_scale_ = {float(luma_zero), float(double(luma_den) / 4096.0), int32_t(max)};
  chroma_out_scale_ = {float(chroma_zero), float(double(chroma_den) / 4096.0), int32_t(max)};
  vector_rows_ = format.chroma != ChromaFormat::k444 && conversion_avx2_usable() &&
                 row_forms_agree_with_tables();
}

bool SampleConverter::row_forms_agree_with_tables() const {
  const int bytes = format_.bytes_per_sample();
  // Every code the payload can hold, in the luma and in both chroma planes,
  // and every host value.
  const int codes = bytes == 1 ? 256 : 65536;
  const int pixels = 2 * codes;
  std::vector<uint8_t> y(size_t(pixels) * bytes);
  std::vector<uint8_t> cb(size_t(codes) * bytes), cr(size_t(codes) * bytes);
  auto put = [bytes](std::vector<uint8_t>& plane, int i, int v) {
    plane[size_t(i) * bytes] = uint8_t(v);
    if (bytes == 2) plane[size_t(i) * 2 + 1] = uint8_t(v >> 8);
  };
  for (int x = 0; x < pixels; ++x) put(y, x, x % codes);
  for (int k = 0; k < codes; ++k) {
    put(cb, k, k);
    put(cr, k, (7 * k) % codes);
  }
  std::vector<PIXEL_YC> host(static_cast<size_t>(pixels));
  row_to_host_avx2(y.data(), cb.data(), cr.data(), bytes, pixels / 8, luma_in_scale_,
                   chroma_in_scale_, host.data());
  for (int x = 0; x < pixels; ++x) {
    const PIXEL_YC& p = host[size_t(x)];
    if (p.y != luma_in_[size_t(x % codes)] || p.cb != chroma_in_[size_t(x / 2)] ||
        p.cr != chroma_in_[size_t((7 * (x / 2)) % codes)])
      return false;
  }
  // Back: both pixels of pair k hold host value k - 32768.
  std::vector<PIXEL_YC> values(2 * 65536);
  for (int k = 0; k < 65536; ++k) {
    const int16_t v = int16_t(k - 32768);
    values[size_t(2 * k)] = values[size_t(2 * k + 1)] = PIXEL_YC{v, v, v};
  }
  std::vector<uint8_t> luma(values.size() * size_t(bytes));
  std::vector<unsigned> pair_cb(65536), pair_cr(65536);
  const int32_t groups = int32_t(values.size() / 8);
  luma_from_host_avx2(values.data(), groups, luma_out_scale_, luma.data(), bytes);
  chroma_from_host_avx2(values.data(), groups, chroma_out_scale_, pair_cb.data(), pair_cr.data());
  for (int k = 0; k < 65536; ++k) {
    for (int x = 2 * k; x < 2 * k + 2; ++x) {
      const unsigned stored = bytes == 1 ? luma[size_t(x)]
                                         : unsigned(luma[size_t(2 * x)] | luma[size_t(2 * x + 1)] << 8);
      if (stored != luma_out_[size_t(k)]) return false;
    }
    const unsigned expected = chroma_out_[size_t(k)];
    if (pair_cb[size_t(k)] != expected || pair_cr[size_t(k)] != expected) return false;
  }
  return true;
}

int16_t SampleConverter::luma_to_host(unsigned sample) const {
  return luma_in_[std::min(sample, 65535u)];
}
int16_t SampleConverter::chroma_to_host(unsigned sample) const {
  return chroma_in_[std::min(sample, 65535u)];
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

namespace {

// Plane access for the three sample layouts: a YUV4MPEG2 payload with one
// byte or two little-endian bytes a sample, and the widened PlanarFrame.
// T is const for the planes that are only read.
template <class T>
struct ByteSamples {
  T* p;
  unsigned get(size_t i) const { return p[i]; }
  void set(size_t i, unsigned v) const { p[i] = uint8_t(v); }
};
template <class T>
struct LittleEndianSamples {
  T* p;
  unsigned get(size_t i) const { return unsigned(p[2 * i]) | unsigned(p[2 * i + 1]) << 8; }
  void set(size_t i, unsigned v) const {
    p[2 * i] = uint8_t(v);
    p[2 * i + 1] = uint8_t(v >> 8);
  }
};
template <class T>
struct WideSamples {
  T* p;
  unsigned get(size_t i) const { return p[i]; }
  void set(size_t i, unsigned v) const { p[i] = uint16_t(v); }
};

// The table index of a host value: value + 32768 as an unsigned 16-bit number.
inline size_t out_index(int16_t value) { return size_t(uint16_t(value) ^ 0x8000u); }

}  // namespace

template <class Samples>
void SampleConverter::planes_to_host(Samples y, Samples cb, Samples cr, PIXEL_YC* dst,
                                     int stride, bool vector, int first_row, int end_row) const {
  const int w = format_.width;
  const int cw = format_.chroma_width();
  const int16_t* luma = luma_in_.data();
  const int16_t* chroma = chroma_in_.data();
  if (end_row < 0 || end_row > format_.height) end_row = format_.height;
  for (int r = std::max(first_row, 0); r < end_row; ++r) {
    const size_t yrow = size_t(r) * w;
    const size_t crow = size_t(chroma_row_of(r)) * cw;
    PIXEL_YC* out = dst + size_t(r) * stride;
    if (format_.chroma == ChromaFormat::k444) {
      for (int x = 0; x < w; ++x) {
        out[x] = PIXEL_YC{luma[y.get(yrow + x)], chroma[cb.get(crow + x)], chroma[cr.get(crow + x)]};
      }
      continue;
    }
    // One chroma sample serves a pixel pair; an odd width's last pixel has
    // a sample of its own. The row forms take groups of eight pixels.
    int k = 0;
    if (vector_rows_ && vector) {
      const int groups = w / 8;
      const size_t bytes = size_t(format_.bytes_per_sample());
      row_to_host_avx2(reinterpret_cast<const uint8_t*>(y.p) + yrow * bytes,
                       reinterpret_cast<const uint8_t*>(cb.p) + crow * bytes,
                       reinterpret_cast<const uint8_t*>(cr.p) + crow * bytes, int(bytes), groups,
                       luma_in_scale_, chroma_in_scale_, out);
      k = 4 * groups;
    }
    for (; k < w / 2; ++k) {
      const int16_t b = chroma[cb.get(crow + k)], c = chroma[cr.get(crow + k)];
      out[2 * k] = PIXEL_YC{luma[y.get(yrow + 2 * k)], b, c};
      out[2 * k + 1] = PIXEL_YC{luma[y.get(yrow + 2 * k + 1)], b, c};
    }
    if (w % 2) {
      out[w - 1] = PIXEL_YC{luma[y.get(yrow + w - 1)], chroma[cb.get(crow + w / 2)],
                            chroma[cr.get(crow + w / 2)]};
    }
  }
}

template <class Samples>
void SampleConverter::host_to_planes(const PIXEL_YC* src, int stride, Samples y, Samples cb,
                                     Samples cr, bool vector) const {
  const int w = format_.width;
  const int cw = format_.chroma_width();
  const uint16_t* luma = luma_out_.data();
  const uint16_t* chroma = chroma_out_.data();
  // The row forms take groups of eight pixels; the rest goes sample by
  // sample.
  const int groups = vector_rows_ && vector ? w / 8 : 0;
  const size_t bytes = size_t(format_.bytes_per_sample());
  for (int r = 0; r < format_.height; ++r) {
    const PIXEL_YC* in = src + size_t(r) * stride;
    const size_t yrow = size_t(r) * w;
    if (groups > 0) {
      luma_from_host_avx2(in, groups, luma_out_scale_,
                          reinterpret_cast<uint8_t*>(y.p) + yrow * bytes, int(bytes));
    }
    for (int x = 8 * groups; x < w; ++x) y.set(yrow + x, luma[out_index(in[x].y)]);
  }
  // The chroma samples one host row gives: each pixel's own, or the average
  // of each pixel pair's (an odd width's last pixel alone).
  const bool pairs = format_.chroma != ChromaFormat::k444;
  auto row_samples = [&](const PIXEL_YC* in, unsigned* out_cb, unsigned* out_cr) {
    if (!pairs) {
      for (int k = 0; k < cw; ++k) {
        out_cb[k] = chroma[out_index(in[k].cb)];
        out_cr[k] = chroma[out_index(in[k].cr)];
      }
      return;
    }
    int k = 0;
    if (groups > 0) {
      chroma_from_host_avx2(in, groups, chroma_out_scale_, out_cb, out_cr);
      k = 4 * groups;
    }
    for (; k < w / 2; ++k) {
      out_cb[k] = (chroma[out_index(in[2 * k].cb)] + chroma[out_index(in[2 * k + 1].cb)] + 1u) / 2;
      out_cr[k] = (chroma[out_index(in[2 * k].cr)] + chroma[out_index(in[2 * k + 1].cr)] + 1u) / 2;
    }
    if (w % 2) {
      out_cb[w / 2] = chroma[out_index(in[w - 1].cb)];
      out_cr[w / 2] = chroma[out_index(in[w - 1].cr)];
    }
  };
  const size_t samples = static_cast<size_t>(cw);
  std::vector<unsigned> first_cb(samples), first_cr(samples);
  std::vector<unsigned> second_cb(samples), second_cr(samples);
  for (int c = 0; c < format_.chroma_height(); ++c) {
    int first = 0, second = 0;
    chroma_row_users(c, first, second);
    const size_t crow = size_t(c) * cw;
    row_samples(src + size_t(first) * stride, first_cb.data(), first_cr.data());
    if (second < 0) {
      for (int k = 0; k < cw; ++k) {
        cb.set(crow + k, first_cb[size_t(k)]);
        cr.set(crow + k, first_cr[size_t(k)]);
      }
      continue;
    }
    // Two rows share the sample: each row's value first, then their average.
    row_samples(src + size_t(second) * stride, second_cb.data(), second_cr.data());
    for (int k = 0; k < cw; ++k) {
      cb.set(crow + k, (first_cb[size_t(k)] + second_cb[size_t(k)] + 1u) / 2);
      cr.set(crow + k, (first_cr[size_t(k)] + second_cr[size_t(k)] + 1u) / 2);
    }
  }
}

void SampleConverter::to_host(const PlanarFrame& frame, PIXEL_YC* dst, int stride) const {
  auto plane = [&](int p) { return WideSamples<const uint16_t>{frame.plane[p].data()}; };
  planes_to_host(plane(0), plane(1), plane(2), dst, stride, false);
}

void SampleConverter::from_host(const PIXEL_YC* src, int stride, PlanarFrame& frame) const {
  frame.allocate(format_);
  auto plane = [&](int p) { return WideSamples<uint16_t>{frame.plane[p].data()}; };
  host_to_planes(src, stride, plane(0), plane(1), plane(2), false);
}

void SampleConverter::payload_to_host(const uint8_t* payload, PIXEL_YC* dst, int stride,
                                      int first_row, int end_row) const {
  const size_t bytes = size_t(format_.bytes_per_sample());
  const uint8_t* cb = payload + format_.luma_samples() * bytes;
  const uint8_t* cr = cb + format_.chroma_samples() * bytes;
  using Byte = const uint8_t;
  if (bytes == 1) {
    planes_to_host(ByteSamples<Byte>{payload}, ByteSamples<Byte>{cb}, ByteSamples<Byte>{cr}, dst,
                   stride, true, first_row, end_row);
  } else {
    planes_to_host(LittleEndianSamples<Byte>{payload}, LittleEndianSamples<Byte>{cb},
                   LittleEndianSamples<Byte>{cr}, dst, stride, true, first_row, end_row);
  }
}

void SampleConverter::host_to_payload(const PIXEL_YC* src, int stride, uint8_t* payload) const {
  const size_t bytes = size_t(format_.bytes_per_sample());
  uint8_t* cb = payload + format_.luma_samples() * bytes;
  uint8_t* cr = cb + format_.chroma_samples() * bytes;
  if (bytes == 1) {
    host_to_planes(src, stride, ByteSamples<uint8_t>{payload}, ByteSamples<uint8_t>{cb},
                   ByteSamples<uint8_t>{cr}, true);
  } else {
    host_to_planes(src, stride, LittleEndianSamples<uint8_t>{payload},
                   LittleEndianSamples<uint8_t>{cb}, LittleEndianSamples<uint8_t>{cr}, true);
  }
}
