#include "cli/clip_io/sniffing.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

bool starts_with_signature(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  char head[10] = {};
  size_t got = std::fread(head, 1, sizeof head, file);
  std::fclose(file);
  return got == sizeof head && std::memcmp(head, "YUV4MPEG2", 9) == 0 &&
         (head[9] == ' ' || head[9] == '\n');
}

}  // namespace

bool has_extension(const std::string& path, const char* extension) {
  std::string ext = std::filesystem::path(path).extension().string();
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  return ext == extension;
}

ClipKind input_kind(const std::string& path) {
  if (path == "-" || starts_with_signature(path)) return ClipKind::kY4m;
  if (has_extension(path, ".yc48")) return ClipKind::kYc48;
  if (has_extension(path, ".y4m")) return ClipKind::kY4m;  // reported as malformed by the reader
  return ClipKind::kFfmpeg;
}
