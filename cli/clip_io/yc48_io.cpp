#include "cli/clip_io/yc48_io.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "cli/tool_error.h"

Yc48Reader::Yc48Reader(std::FILE* file, std::string name, int width, int height)
    : file_(file), name_(std::move(name)), width_(width), height_(height),
      raw_(size_t(width) * size_t(height) * 6) {}

bool Yc48Reader::read_payload(uint8_t* dst) {
  size_t got = std::fread(dst, 1, raw_.size(), file_);
  if (got == raw_.size()) {
    ++frames_read_;
    return true;
  }
  if (std::ferror(file_)) throw ToolError(name_, std::string("read error: ") + std::strerror(errno));
  if (got == 0) return false;
  throw ToolError(name_, "truncated frame " + std::to_string(frames_read_) + " (" +
                             std::to_string(got) + " of " + std::to_string(raw_.size()) +
                             " bytes)");
}

bool Yc48Reader::read_frame(PIXEL_YC* dst, int stride) {
  if (!read_payload(raw_.data())) return false;
  payload_to_host(raw_.data(), dst, stride);
  return true;
}

void Yc48Reader::payload_to_host(const uint8_t* payload, PIXEL_YC* dst, int stride, int first_row,
                                 int end_row) const {
  if (end_row < 0 || end_row > height_) end_row = height_;
  first_row = std::max(first_row, 0);
  const uint8_t* src = payload + size_t(first_row) * size_t(width_) * 6;
  auto next = [&src] {
    int16_t v = int16_t(uint16_t(src[0] | src[1] << 8));
    src += 2;
    return v;
  };
  for (int r = first_row; r < end_row; ++r) {
    PIXEL_YC* row = dst + size_t(r) * stride;
    for (int x = 0; x < width_; ++x) {
      row[x].y = next();
      row[x].cb = next();
      row[x].cr = next();
    }
  }
}

bool Yc48Reader::skip_frame() { return read_payload(raw_.data()); }

Yc48Writer::Yc48Writer(std::FILE* file, std::string name, int width, int height)
    : file_(file), name_(std::move(name)), width_(width), height_(height),
      raw_(size_t(width) * size_t(height) * 6) {}

void Yc48Writer::write_frame(const PIXEL_YC* src, int stride) {
  uint8_t* dst = raw_.data();
  auto put = [&dst](int16_t v) {
    *dst++ = uint8_t(uint16_t(v) & 0xFF);
    *dst++ = uint8_t(uint16_t(v) >> 8);
  };
  for (int r = 0; r < height_; ++r) {
    const PIXEL_YC* row = src + size_t(r) * stride;
    for (int x = 0; x < width_; ++x) {
      put(row[x].y);
      put(row[x].cb);
      put(row[x].cr);
    }
  }
  if (std::fwrite(raw_.data(), 1, raw_.size(), file_) != raw_.size()) {
    throw ToolError(name_, std::string("write failed: ") + std::strerror(errno));
  }
}
