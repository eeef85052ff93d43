#include "cli/clip_io/ffmpeg_pipe.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cli/signals.h"
#include "cli/tool_error.h"

extern char** environ;

namespace {

// The pixel layouts the YUV4MPEG2 reader takes; ffmpeg converts anything
// else to the nearest of them.
constexpr char kDecodeFormats[] =
    "format=pix_fmts=yuv420p|yuvj420p|yuv422p|yuvj422p|yuv444p|yuvj444p|"
    "yuv420p10le|yuv422p10le|yuv444p10le";

std::string require_ffmpeg(const std::string& subject) {
  std::string ffmpeg = find_on_path("ffmpeg");
  if (ffmpeg.empty()) {
    throw ToolError(subject, "reading or writing this format needs ffmpeg, which was not found on PATH");
  }
  return ffmpeg;
}

// A local path as ffmpeg should see it: without the prefix, a colon in the
// name would be taken for a protocol.
std::string local_file_url(const std::string& path) { return "file:" + path; }

// The last line of ffmpeg's messages that says what went wrong: not the
// summary lines it adds after every failure.
std::string meaningful_line(const std::string& log) {
  std::string best;
  size_t start = 0;
  while (start < log.size()) {
    size_t end = log.find('\n', start);
    if (end == std::string::npos) end = log.size();
    std::string line = log.substr(start, end - start);
    start = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (line.empty() || line == "Conversion failed!" || line.rfind("Exiting normally", 0) == 0) continue;
    best = line;
  }
  return best;  // escaped with the rest of the message
}

// Runs argv with one end of a new pipe as its standard input (child_reads)
// or standard output, and `other_fd` (when not -1) as its other standard
// stream: its output when it reads the pipe, its input when it writes it.
ChildPipe spawn_with_pipe(const std::vector<std::string>& args, bool child_reads,
                          const std::string& subject, int other_fd = -1) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    throw ToolError(subject, std::string("cannot create a pipe: ") + std::strerror(errno));
  }
  const int child_end = child_reads ? fds[0] : fds[1];
  const int our_end = child_reads ? fds[1] : fds[0];
  int log_fd = memfd_create("ffmpeg-messages", MFD_CLOEXEC);
  if (log_fd < 0) {
    close(fds[0]);
    close(fds[1]);
    throw ToolError(subject, std::string("cannot keep ffmpeg's messages: ") + std::strerror(errno));
  }
  // dup2 clears close-on-exec on the child's copies only; descriptors 0-2
  // are valid (see standard_streams.h), so no end can already sit there.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, child_end, child_reads ? 0 : 1);
  if (other_fd >= 0) posix_spawn_file_actions_adddup2(&actions, other_fd, child_reads ? 1 : 0);
  posix_spawn_file_actions_adddup2(&actions, log_fd, 2);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t reset = signals_to_reset_in_children(), none;
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attributes, &reset);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  int status = posix_spawn(&pid, args[0].c_str(), &actions, &attributes, argv.data(),
                           environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(child_end);
  if (status != 0) {
    close(our_end);
    close(log_fd);
    throw ToolError(subject, "cannot start " + args[0] + ": " + std::strerror(status));
  }
  std::FILE* file = fdopen(our_end, child_reads ? "wb" : "rb");
  if (!file) {
    close(our_end);
    ChildPipe stopped(pid, nullptr, log_fd, "ffmpeg");
    throw ToolError(subject, "cannot open the pipe to ffmpeg");
  }
  std::setvbuf(file, nullptr, _IOFBF, 1 << 20);
  return ChildPipe(pid, file, log_fd, "ffmpeg");
}

}  // namespace

std::string find_on_path(const std::string& program) {
  const char* path = std::getenv("PATH");
  if (!path) return "";
  std::string dirs(path);
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(start, end - start);
    std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
    struct stat info;
    if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
    start = end + 1;
  }
  return "";
}

ChildPipe::ChildPipe(pid_t pid, std::FILE* pipe, int log_fd, std::string what)
    : pid_(pid), pipe_(pipe), log_fd_(log_fd), signal_handle_(register_child(pid)),
      what_(std::move(what)) {}

ChildPipe::ChildPipe(ChildPipe&& other) noexcept
    : pid_(other.pid_), pipe_(other.pipe_), log_fd_(other.log_fd_),
      signal_handle_(other.signal_handle_), what_(std::move(other.what_)) {
  other.pid_ = -1;
  other.pipe_ = nullptr;
  other.log_fd_ = -1;
  other.signal_handle_ = -1;
}

ChildPipe& ChildPipe::operator=(ChildPipe&& other) noexcept {
  if (this != &other) {
    abandon();
    pid_ = other.pid_;
    pipe_ = other.pipe_;
    log_fd_ = other.log_fd_;
    signal_handle_ = other.signal_handle_;
    what_ = std::move(other.what_);
    other.pid_ = -1;
    other.pipe_ = nullptr;
    other.log_fd_ = -1;
    other.signal_handle_ = -1;
  }
  return *this;
}

ChildPipe::~ChildPipe() { abandon(); }

void ChildPipe::wait_for_child(int& status) {
  status = 0;
  if (pid_ <= 0) return;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  unregister_child(signal_handle_);
  signal_handle_ = -1;
  pid_ = -1;
}

void ChildPipe::abandon() {
  if (pipe_) std::fclose(pipe_);
  pipe_ = nullptr;
  if (pid_ > 0) kill(pid_, SIGTERM);
  int status;
  wait_for_child(status);
  if (log_fd_ >= 0) close(log_fd_);
  log_fd_ = -1;
}

std::string ChildPipe::last_message() const {
  if (log_fd_ < 0) return "";
  std::string log;
  char buffer[4096];
  ssize_t got;
  off_t offset = 0;
  while ((got = pread(log_fd_, buffer, sizeof buffer, offset)) > 0) {
    log.append(buffer, size_t(got));
    offset += got;
  }
  return meaningful_line(log);
}

void ChildPipe::finish(const std::string& subject, bool messages_are_errors) {
  bool flushed = true;
  int error = 0;
  if (pipe_) {
    flushed = std::fflush(pipe_) == 0;
    error = errno;
    std::fclose(pipe_);
    pipe_ = nullptr;
  }
  const bool was_running = pid_ > 0;
  int status = 0;
  wait_for_child(status);
  if (!was_running) return;
  const std::string message = last_message();
  close(log_fd_);
  log_fd_ = -1;
  const std::string quoted = message.empty() ? "" : ": " + message;
  if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
    throw ToolError(subject, what_ + " failed (exit status " + std::to_string(WEXITSTATUS(status)) + ")" + quoted);
  }
  if (WIFSIGNALED(status)) {
    throw ToolError(subject, what_ + " was ended by signal " + std::to_string(WTERMSIG(status)) + " (" +
                                 strsignal(WTERMSIG(status)) + ")" + quoted);
  }
  if (messages_are_errors && !message.empty()) throw ToolError(subject, what_ + ": " + message);
  // An encoder that stopped on its own (-frames:v, -t, -fs) closes its end
  // early: the frames it did not take were not wanted.
  if (!flushed && error != EPIPE) {
    throw ToolError(subject, std::string("write to ffmpeg failed: ") + std::strerror(error));
  }
}

ChildPipe start_ffmpeg_decoder(const DecoderInput& input, const std::string& subject) {
  std::string ffmpeg = require_ffmpeg(subject);
  // Every decoded frame passes through as it is: no frames are dropped or
  // repeated to make a variable frame rate constant.
  std::vector<std::string> args = {ffmpeg, "-hide_banner", "-loglevel", "error", "-nostdin", "-i",
                                   input.path.empty() ? "pipe:0" : local_file_url(input.path),
                                   "-map", "0:v:0", "-fps_mode", "passthrough"};
  if (input.raw_pixel_format.empty()) {
    args.insert(args.end(), {"-vf", kDecodeFormats, "-strict", "-1", "-f", "yuv4mpegpipe", "pipe:1"});
  } else {
    args.insert(args.end(), {"-pix_fmt", input.raw_pixel_format, "-f", "rawvideo", "pipe:1"});
  }
  if (!input.path.empty()) return spawn_with_pipe(args, false, subject);
  args.erase(args.begin() + 4);  // -nostdin: ffmpeg reads the clip from its standard input
  return spawn_with_pipe(args, false, subject, input.fd);
}

ChildPipe start_ffprobe(const std::string& ffprobe, const std::string& path) {
  return spawn_with_pipe({ffprobe, "-v", "error", "-select_streams", "v:0", "-show_entries",
                          "stream=width,height,pix_fmt,r_frame_rate,avg_frame_rate,sample_aspect_ratio,"
                          "field_order,color_range,color_space,color_primaries,color_transfer",
                          "-of", "default=nw=1", local_file_url(path)},
                         false, path);
}

ChildPipe start_ffmpeg_encoder(const std::vector<std::string>& tags,
                               const std::vector<std::string>& encoder_args,
                               const std::string& output, const std::string& target) {
  std::string ffmpeg = require_ffmpeg(target);
  std::vector<std::string> args = {ffmpeg, "-hide_banner", "-loglevel", "error", "-nostdin",
                                    "-f", "yuv4mpegpipe", "-i", "pipe:0"};
  args.insert(args.end(), tags.begin(), tags.end());
  args.insert(args.end(), encoder_args.begin(), encoder_args.end());
  args.push_back("-y");
  args.push_back(output == "pipe:1" ? output : local_file_url(output));
  return spawn_with_pipe(args, true, target);
}

std::vector<std::string> split_arguments(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;
  char quote = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (quote) {
      if (c == quote) quote = 0;
      else if (c == '\\' && quote == '"' && i + 1 < text.size()) word += text[++i];
      else word += c;
    } else if (c == '\'' || c == '"') {
      quote = c;
      in_word = true;
    } else if (c == '\\' && i + 1 < text.size()) {
      word += text[++i];
      in_word = true;
    } else if (c == ' ' || c == '\t' || c == '\n') {
      if (in_word) words.push_back(word);
      word.clear();
      in_word = false;
    } else {
      word += c;
      in_word = true;
    }
  }
  if (quote) throw ToolError("--encoder-args", "unterminated quote", 2);
  if (in_word) words.push_back(word);
  return words;
}
