#include "cli/clip_io/pending_output.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "cli/signals.h"
#include "cli/tool_error.h"

PendingOutput::PendingOutput(std::string target) : target_(std::move(target)) {
  std::filesystem::path path(target_);
  std::string extension = path.extension().string();
  std::filesystem::path dir = path.parent_path();
  // Built piece by piece: GCC 12 warns falsely about "." + std::string.
  std::string hidden_name(1, '.');
  hidden_name += path.stem().string();
  hidden_name += ".quietloom-XXXXXX";
  std::string pattern = (dir / hidden_name).string() + extension;
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = mkstemps(name.data(), int(extension.size()));
  if (fd < 0) throw ToolError(target_, std::string("cannot create output: ") + std::strerror(errno));
  temp_path_ = name.data();
  // mkstemps creates the file private to its owner; give it the permissions
  // an ordinary new file would have.
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  signal_handle_ = register_temp_path(temp_path_.c_str());
  file_ = fdopen(fd, "wb");
  if (!file_) {
    int error = errno;
    ::close(fd);
    throw ToolError(target_, std::string("cannot open output: ") + std::strerror(error));
  }
  // Large writes keep the number of system calls low for big frames.
  std::setvbuf(file_, nullptr, _IOFBF, 1 << 20);
}

PendingOutput::~PendingOutput() {
  if (file_) std::fclose(file_);
  if (!committed_) unlink(temp_path_.c_str());
  unregister_temp_path(signal_handle_);
}

void PendingOutput::close_file() {
  if (!file_) return;
  std::FILE* file = file_;
  file_ = nullptr;
  bool flushed = std::fflush(file) == 0;
  int error = errno;
  if (std::fclose(file) != 0 && flushed) {
    flushed = false;
    error = errno;
  }
  if (!flushed) throw ToolError(target_, std::string("write failed: ") + std::strerror(error));
}

void PendingOutput::commit() {
  close_file();
  if (std::rename(temp_path_.c_str(), target_.c_str()) != 0) {
    throw ToolError(target_, std::string("cannot rename the finished output: ") +
                                 std::strerror(errno));
  }
  committed_ = true;
}
