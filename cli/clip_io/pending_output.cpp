#include "cli/clip_io/pending_output.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "cli/signals.h"
#include "cli/tool_error.h"

namespace {

constexpr char kTempMark[] = ".quietloom-XXXXXX";

// The longest file name the folder takes.
size_t longest_name(const std::string& folder) {
  long limit = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
  return limit > 0 ? size_t(limit) : size_t(NAME_MAX);
}

// `count` letters and digits, different from run to run and call to call.
void random_name_part(char* out, int count) {
  static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static std::mt19937_64 generator(std::random_device{}() ^ (uint64_t(getpid()) << 32) ^
                                   uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()));
  for (int i = 0; i < count; ++i) out[i] = kLetters[generator() % (sizeof kLetters - 1)];
}

std::string write_failure(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
}

}  // namespace

PendingOutput::PendingOutput(OutputTarget target) : target_(std::move(target)) {
  if (target_.temporary()) {
    open_temporary();
  } else {
    open_in_place();
  }
  // Large writes keep the number of system calls low for big frames.
  std::setvbuf(file_, nullptr, _IOFBF, 1 << 20);
}

void PendingOutput::open_temporary() {
  std::filesystem::path path(target_.path);
  std::string extension = path.extension().string();
  std::string stem = path.stem().string();
  const std::string dir = path.parent_path().string();
  // A long name is cut so that the temporary one still fits; the extension
  // stays unless it is itself too long to leave room.
  const size_t limit = longest_name(dir);
  if (1 + sizeof kTempMark - 1 + extension.size() > limit) extension.clear();
  const size_t room = limit - (1 + sizeof kTempMark - 1 + extension.size());
  if (stem.size() > room) stem.resize(room);
  // Built piece by piece: GCC 12 warns falsely about "." + std::string.
  std::string hidden_name(1, '.');
  hidden_name += stem;
  hidden_name += kTempMark;
  std::string pattern = (path.parent_path() / hidden_name).string() + extension;
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  // The name is made here rather than by mkstemps so that it can be handed
  // to the signal handler before the file exists: a signal between creating
  // the file and handing its name over would leave the file behind. A name
  // that turns out to be taken is taken back before the next one is tried.
  char* const marks = name.data() + (pattern.size() - extension.size() - 6);
  int fd = -1;
  int error = EEXIST;
  for (int attempt = 0; attempt < 100 && fd < 0 && error == EEXIST; ++attempt) {
    random_name_part(marks, 6);
    signal_handle_ = register_temp_path(name.data());
    fd = ::open(name.data(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      error = errno;
      unregister_temp_path(signal_handle_);
      signal_handle_ = -1;
    }
  }
  if (fd < 0) throw ToolError(target_.name, std::string("cannot create output: ") + std::strerror(error));
  write_path_ = name.data();
  // mkstemps creates the file private to its owner; give it the permissions
  // of the file it replaces, or those an ordinary new file would have.
  mode_t mode = target_.mode;
  if (target_.kind == TargetKind::kNewFile) {
    mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  fchmod(fd, mode);
  file_ = fdopen(fd, "wb");
  if (!file_) {
    int error = errno;
    ::close(fd);
    throw ToolError(target_.name, std::string("cannot open output: ") + std::strerror(error));
  }
}

void PendingOutput::open_in_place() {
  write_path_ = target_.path;
  if (target_.kind == TargetKind::kStandardOutput) {
    file_ = stdout;
    return;
  }
  int fd = open(target_.path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) throw ToolError(target_.name, std::string("cannot open output: ") + std::strerror(errno));
  if (isatty(fd)) {
    ::close(fd);
    throw ToolError(target_.name, "is a terminal; refusing to write video to it");
  }
  file_ = fdopen(fd, "wb");
  if (!file_) {
    int error = errno;
    ::close(fd);
    throw ToolError(target_.name, std::string("cannot open output: ") + std::strerror(error));
  }
}

PendingOutput::~PendingOutput() {
  if (file_ && file_ != stdout) std::fclose(file_);
  if (target_.temporary() && !committed_ && !write_path_.empty()) unlink(write_path_.c_str());
  unregister_temp_path(signal_handle_);
}

void PendingOutput::close_file() {
  if (!file_) return;
  std::FILE* file = file_;
  file_ = nullptr;
  bool flushed = std::fflush(file) == 0;
  int error = errno;
  if (file != stdout && std::fclose(file) != 0 && flushed) {
    flushed = false;
    error = errno;
  }
  if (!flushed) throw ToolError(target_.name, write_failure("write failed", error));
}

void PendingOutput::commit() {
  close_file();
  if (target_.temporary() && std::rename(write_path_.c_str(), target_.path.c_str()) != 0) {
    throw ToolError(target_.name, std::string("cannot rename the finished output: ") +
                                      std::strerror(errno));
  }
  committed_ = true;
}
