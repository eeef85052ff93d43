#pragma once
// One output of a run, open for writing until the run commits it. A regular
// file is written under a temporary name beside its target (the target of a
// link) and renamed over it only when every output of the run is complete,
// so that an error or an interruption never leaves a partial file under the
// target's name; a file replaced keeps its permissions. A FIFO, a device or
// standard output is written in place: renaming over it would replace it.
#include <cstdio>
#include <string>

#include "cli/clip_io/file_identity.h"

class PendingOutput {
 public:
  // Creates ".NAME.quietloom-XXXXXX.EXT" in the target's folder (the
  // extension is kept so that programs that choose a format by it still can;
  // the name is shortened where it would pass the file system's limit), or
  // opens the target in place.
  explicit PendingOutput(OutputTarget target);
  ~PendingOutput();  // removes the temporary file unless committed
  PendingOutput(const PendingOutput&) = delete;
  PendingOutput& operator=(const PendingOutput&) = delete;

  const std::string& target() const { return target_.name; }
  const OutputTarget& output_target() const { return target_; }
  // The file to write now: the temporary one, or the target in place.
  const std::string& write_path() const { return write_path_; }
  // Open for writing (null after close_file()).
  std::FILE* file() { return file_; }
  // Flushes and closes the file; a failure is a ToolError naming the target.
  void close_file();
  // Closes the file if open and renames it to the target.
  void commit();

 private:
  void open_temporary();
  void open_in_place();

  OutputTarget target_;
  std::string write_path_;
  std::FILE* file_ = nullptr;
  int signal_handle_ = -1;
  bool committed_ = false;
};
