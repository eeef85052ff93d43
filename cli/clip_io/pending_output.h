#pragma once
// An output file written under a temporary name beside its target and
// renamed over the target only when complete, so that an error or an
// interruption never leaves a partial file under the target's name.
#include <cstdio>
#include <string>

class PendingOutput {
 public:
  // Creates ".NAME.quietloom-XXXXXX.EXT" in the target's directory (the
  // extension is kept so that programs that choose a format by it still can).
  explicit PendingOutput(std::string target);
  ~PendingOutput();  // removes the temporary file unless committed
  PendingOutput(const PendingOutput&) = delete;
  PendingOutput& operator=(const PendingOutput&) = delete;

  const std::string& target() const { return target_; }
  const std::string& temp_path() const { return temp_path_; }
  // The temporary file, open for writing (null after close_file()).
  std::FILE* file() { return file_; }
  // Flushes and closes the file; a failure is a ToolError naming the target.
  void close_file();
  // Closes the file if open and renames it to the target.
  void commit();

 private:
  std::string target_;
  std::string temp_path_;
  std::FILE* file_ = nullptr;
  int signal_handle_ = -1;
  bool committed_ = false;
};
