#include "cli/clip_io/sniffing.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/standard_streams.h"
#include "cli/tool_error.h"

namespace {

constexpr size_t kHeadBytes = 10;  // "YUV4MPEG2" and the separator after it

bool starts_with_signature(const std::string& head) {
  return head.size() == kHeadBytes && head.compare(0, 9, "YUV4MPEG2") == 0 &&
         (head[9] == ' ' || head[9] == '\n');
}

// The kept bytes, then the descriptor: a stdio stream over both.
struct HeadThenFile {
  std::string head;
  size_t given = 0;
  int fd = -1;
  int64_t position = 0;  // of the next byte given, counted from the first kept one
  int64_t base = 0;      // the descriptor's offset of the first kept byte
};

extern "C" ssize_t read_head_then_file(void* cookie, char* buffer, size_t size) {
  auto* source = static_cast<HeadThenFile*>(cookie);
  if (source->given < source->head.size()) {
    size_t n = std::min(size, source->head.size() - source->given);
    std::memcpy(buffer, source->head.data() + source->given, n);
    source->given += n;
    source->position += int64_t(n);
    return ssize_t(n);
  }
  for (;;) {
    ssize_t got = read(source->fd, buffer, size);
    if (got > 0) source->position += got;
    if (got >= 0 || errno != EINTR) return got;
  }
}

// Seeking works where the descriptor seeks (a regular file): the kept bytes
// are the file's first ones, so a place among them is given from the copy
// and the descriptor waits right after them.
extern "C" int seek_head_then_file(void* cookie, off64_t* offset, int whence) {
  auto* source = static_cast<HeadThenFile*>(cookie);
  int64_t target = *offset;
  if (whence == SEEK_CUR) target += source->position;
  if (whence == SEEK_END || target < 0) {
    errno = EINVAL;
    return -1;
  }
  const int64_t head = int64_t(source->head.size());
  if (lseek(source->fd, off_t(source->base + std::max(target, head)), SEEK_SET) < 0) return -1;
  source->given = size_t(std::min(target, head));
  source->position = target;
  *offset = target;
  return 0;
}

extern "C" int close_head_then_file(void* cookie) {
  auto* source = static_cast<HeadThenFile*>(cookie);
  int result = source->fd > 2 ? close(source->fd) : 0;
  delete source;
  return result;
}

}  // namespace

bool has_extension(const std::string& path, const char* extension) {
  std::string ext = std::filesystem::path(path).extension().string();
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  return ext == extension;
}

SniffedInput open_and_sniff(const std::string& path) {
  SniffedInput input;
  input.name = path;
  if (path == "-") {
    if (standard_stream_was_closed(STDIN_FILENO)) throw ToolError("-", "standard input is closed");
    if (isatty(STDIN_FILENO)) throw ToolError("-", "standard input is a terminal, not a video stream");
    input.fd = STDIN_FILENO;
  } else {
    input.fd = open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (input.fd < 0) throw ToolError(path, std::strerror(errno));
  }
  struct stat info;
  if (fstat(input.fd, &info) != 0) {
    int error = errno;
    if (input.fd > 2) close(input.fd);
    throw ToolError(path, std::strerror(error));
  }
  if (S_ISDIR(info.st_mode)) {
    if (input.fd > 2) close(input.fd);
    throw ToolError(path, "is a directory");
  }
  input.identity = identity_of_descriptor(input.fd);
  input.regular = S_ISREG(info.st_mode);
  if (input.regular) input.size = int64_t(info.st_size);
  char head[kHeadBytes];
  size_t got = 0;
  while (got < kHeadBytes) {
    ssize_t n = read(input.fd, head + got, kHeadBytes - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      int error = errno;
      if (input.fd > 2) close(input.fd);
      throw ToolError(path, std::string("read error: ") + std::strerror(error));
    }
    if (n == 0) break;
    got += size_t(n);
  }
  input.head.assign(head, got);
  if (path == "-" || starts_with_signature(input.head)) {
    input.kind = ClipKind::kY4m;
  } else if (has_extension(path, ".yc48")) {
    input.kind = ClipKind::kYc48;
  } else if (has_extension(path, ".y4m")) {
    input.kind = ClipKind::kY4m;
  } else {
    input.kind = ClipKind::kFfmpeg;
  }
  return input;
}

std::FILE* stream_with_head(SniffedInput& input) {
  auto* source = new HeadThenFile{input.head, 0, input.fd};
  // Where the kept bytes began (standard input may start inside a file).
  const off_t now = input.regular ? lseek(input.fd, 0, SEEK_CUR) : off_t(-1);
  if (now >= off_t(input.head.size())) source->base = int64_t(now) - int64_t(input.head.size());
  cookie_io_functions_t functions{read_head_then_file, nullptr, seek_head_then_file, close_head_then_file};
  std::FILE* file = fopencookie(source, "rb", functions);
  if (!file) {
    delete source;
    throw ToolError(input.name, std::string("cannot read: ") + std::strerror(errno));
  }
  input.fd = -1;
  return file;
}
