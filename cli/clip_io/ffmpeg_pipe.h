#pragma once
// ffmpeg as a child process behind a pipe: a decoder that turns any file it
// reads into a YUV4MPEG2 stream on its standard output, and an encoder that
// reads a YUV4MPEG2 stream on its standard input and writes a file with the
// user's encoder arguments.
#include <cstdio>
#include <string>
#include <sys/types.h>
#include <vector>

// The full path of an executable `program` found on PATH, or "" when absent.
std::string find_on_path(const std::string& program);

class ChildPipe {
 public:
  ChildPipe() = default;
  ChildPipe(pid_t pid, std::FILE* pipe, std::string what) : pid_(pid), pipe_(pipe), what_(std::move(what)) {}
  ChildPipe(ChildPipe&& other) noexcept;
  ChildPipe& operator=(ChildPipe&& other) noexcept;
  ~ChildPipe();  // closes the pipe, stops the child and waits for it

  std::FILE* pipe() { return pipe_; }
  // Closes the pipe and waits; a child that failed is a ToolError naming
  // `subject`.
  void finish(const std::string& subject);
  // Closes the pipe, asks the child to stop and waits, ignoring its status.
  void abandon();

 private:
  pid_t pid_ = -1;
  std::FILE* pipe_ = nullptr;
  std::string what_;
};

// Starts "ffmpeg ... -i input ... -f yuv4mpegpipe pipe:1"; the stream holds a
// layout the tool reads (4:2:0, 4:2:2 or 4:4:4, 8 or 10 bits).
ChildPipe start_ffmpeg_decoder(const std::string& input);

// Starts "ffmpeg -f yuv4mpegpipe -i pipe:0 <encoder_args> -y output"; the
// output format follows the extension of `output`.
ChildPipe start_ffmpeg_encoder(const std::vector<std::string>& encoder_args,
                               const std::string& output, const std::string& target);

// Splits a string of encoder arguments at spaces; single or double quotes
// group words, a backslash escapes the next character.
std::vector<std::string> split_arguments(const std::string& text);
