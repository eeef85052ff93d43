#pragma once
// Feeds a decoding ffmpeg that reads its standard input: the bytes already
// read from the clip to tell its kind, then the rest of it, copied on a
// thread of its own. Used for inputs that cannot be read twice (pipes,
// FIFOs); a regular file is given to ffmpeg by name.
#include <string>
#include <thread>

class InputFeeder {
 public:
  // Takes `source` (the clip, owned from now on) and the write end of the
  // decoder's input pipe (owned too).
  InputFeeder(int source, std::string head, int pipe_end);
  ~InputFeeder();  // stop()
  InputFeeder(const InputFeeder&) = delete;
  InputFeeder& operator=(const InputFeeder&) = delete;

  // Ends the copy (waking it if it waits for the clip) and joins it.
  void stop();
  // What went wrong reading the clip, or "" (valid after stop()).
  const std::string& read_error() const { return read_error_; }

 private:
  void run();
  void copy();

  int source_;
  std::string head_;
  int pipe_end_;
  int wake_[2] = {-1, -1};
  std::string read_error_;
  std::thread thread_;
};
