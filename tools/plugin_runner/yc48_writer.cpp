#include "tools/plugin_runner/yc48_writer.h"

#include <cstdio>

std::vector<uint8_t> yc48_bytes(const std::vector<PIXEL_YC>& pixels) {
  std::vector<uint8_t> bytes;
  bytes.reserve(pixels.size() * 6);
  auto put = [&bytes](int16_t v) {
    const auto u = static_cast<uint16_t>(v);
    bytes.push_back(static_cast<uint8_t>(u & 0xFF));
    bytes.push_back(static_cast<uint8_t>(u >> 8));
  };
  for (const PIXEL_YC& p : pixels) {
    put(p.y);
    put(p.cb);
    put(p.cr);
  }
  return bytes;
}

bool write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

uint64_t fnv1a64(const std::vector<uint8_t>& bytes) {
  uint64_t hash = 0xCBF29CE484222325ull;
  for (uint8_t b : bytes) {
    hash ^= b;
    hash *= 0x100000001B3ull;
  }
  return hash;
}
