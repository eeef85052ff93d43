#pragma once
// ffmpeg as a child process behind a pipe: a decoder that turns any file it
// reads into a YUV4MPEG2 stream on its standard output, and an encoder that
// reads a YUV4MPEG2 stream on its standard input and writes a file with the
// user's encoder arguments.
//
// Every descriptor of the tool is close-on-exec; the child gets its pipe
// end dup'd onto 0 or 1 and its standard error in a file of its own, so that
// a failure is reported as one line of the tool's quoting ffmpeg's last
// message. The child starts with SIGPIPE at its default action and is
// registered for the signal handler to stop.
#include <cstdio>
#include <string>
#include <sys/types.h>
#include <vector>

// The full path of an executable `program` found on PATH, or "" when absent.
std::string find_on_path(const std::string& program);

class ChildPipe {
 public:
  ChildPipe() = default;
  ChildPipe(pid_t pid, std::FILE* pipe, int log_fd, std::string what);
  ChildPipe(ChildPipe&& other) noexcept;
  ChildPipe& operator=(ChildPipe&& other) noexcept;
  ~ChildPipe();  // abandon()

  std::FILE* pipe() { return pipe_; }
  bool running() const { return pid_ > 0; }
  // Closes the pipe and waits. A child that failed, or (when
  // `messages_are_errors`) that printed an error although it exited with 0,
  // is a ToolError naming `subject` and quoting its last message. A child
  // that stopped reading on its own and exited with 0 has succeeded.
  void finish(const std::string& subject, bool messages_are_errors = false);
  // Closes the pipe, asks the child to stop and waits, ignoring its status.
  void abandon();

 private:
  std::string last_message() const;
  void wait_for_child(int& status);

  pid_t pid_ = -1;
  std::FILE* pipe_ = nullptr;
  int log_fd_ = -1;
  int signal_handle_ = -1;
  std::string what_;
};

// What ffmpeg reads: a file by name, or its standard input (fd, which the
// child gets as descriptor 0).
struct DecoderInput {
  std::string path;  // "" when read from `fd`
  int fd = -1;
  // ffmpeg's name of a raw layout to write instead of y4m ("" for y4m).
  std::string raw_pixel_format;
};

// Starts "ffmpeg ... -i input ... -f yuv4mpegpipe pipe:1"; the stream holds a
// layout the tool reads (4:2:0, 4:2:2 or 4:4:4, 8 or 10 bits), one frame for
// every frame decoded.
ChildPipe start_ffmpeg_decoder(const DecoderInput& input, const std::string& subject);

// Starts "ffmpeg -f yuv4mpegpipe -i pipe:0 <tags> <encoder_args> -y output";
// the output format follows the extension of `output` ("pipe:1": the tool's
// standard output); `tags` (the input's colour tags) come first, so that the
// user's arguments can override them.
ChildPipe start_ffmpeg_encoder(const std::vector<std::string>& tags,
                               const std::vector<std::string>& encoder_args,
                               const std::string& output, const std::string& target);

// Starts ffprobe printing the first video stream's geometry, pixel format,
// rates, field order and colour tags as key=value lines.
ChildPipe start_ffprobe(const std::string& ffprobe, const std::string& path);

// Splits a string of encoder arguments at spaces; single or double quotes
// group words, a backslash escapes the next character.
std::vector<std::string> split_arguments(const std::string& text);
