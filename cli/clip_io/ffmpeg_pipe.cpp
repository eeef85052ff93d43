#include "cli/clip_io/ffmpeg_pipe.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Runs argv with one end of a new pipe as its standard input (child_reads)
// or standard output.
ChildPipe spawn_with_pipe(const std::vector<std::string>& args, bool child_reads,
                          const std::string& subject) {
  int fds[2];
  if (pipe(fds) != 0) throw ToolError(subject, std::string("cannot create a pipe: ") + std::strerror(errno));
  const int child_end = child_reads ? fds[0] : fds[1];
  const int our_end = child_reads ? fds[1] : fds[0];
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, child_end, child_reads ? 0 : 1);
  posix_spawn_file_actions_addclose(&actions, child_end);
  posix_spawn_file_actions_addclose(&actions, our_end);
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  int status = posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(child_end);
  if (status != 0) {
    close(our_end);
    throw ToolError(subject, "cannot start " + args[0] + ": " + std::strerror(status));
  }
  std::FILE* file = fdopen(our_end, child_reads ? "wb" : "rb");
  if (!file) {
    close(our_end);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    throw ToolError(subject, "cannot open the pipe to ffmpeg");
  }
  std::setvbuf(file, nullptr, _IOFBF, 1 << 20);
  return ChildPipe(pid, file, "ffmpeg");
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

ChildPipe::ChildPipe(ChildPipe&& other) noexcept
    : pid_(other.pid_), pipe_(other.pipe_), what_(std::move(other.what_)) {
  other.pid_ = -1;
  other.pipe_ = nullptr;
}

ChildPipe& ChildPipe::operator=(ChildPipe&& other) noexcept {
  if (this != &other) {
    abandon();
    pid_ = other.pid_;
    pipe_ = other.pipe_;
    what_ = std::move(other.what_);
    other.pid_ = -1;
    other.pipe_ = nullptr;
  }
  return *this;
}

ChildPipe::~ChildPipe() { abandon(); }

void ChildPipe::abandon() {
  if (pipe_) std::fclose(pipe_);
  pipe_ = nullptr;
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  pid_ = -1;
}

void ChildPipe::finish(const std::string& subject) {
  bool flushed = true;
  int error = 0;
  if (pipe_) {
    flushed = std::fflush(pipe_) == 0;
    error = errno;
    std::fclose(pipe_);
    pipe_ = nullptr;
  }
  int status = 0;
  if (pid_ > 0) {
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
  }
  if (!flushed) throw ToolError(subject, std::string("write to ffmpeg failed: ") + std::strerror(error));
  if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
    throw ToolError(subject, what_ + " failed with exit status " + std::to_string(WEXITSTATUS(status)));
  }
  if (WIFSIGNALED(status)) {
    throw ToolError(subject, what_ + " was ended by signal " + std::to_string(WTERMSIG(status)));
  }
}

ChildPipe start_ffmpeg_decoder(const std::string& input) {
  std::string ffmpeg = require_ffmpeg(input);
  return spawn_with_pipe({ffmpeg, "-hide_banner", "-loglevel", "error", "-nostdin", "-i",
                          local_file_url(input),
                          "-map", "0:v:0", "-vf", kDecodeFormats, "-strict", "-1", "-f",
                          "yuv4mpegpipe", "pipe:1"},
                         false, input);
}

ChildPipe start_ffmpeg_encoder(const std::vector<std::string>& encoder_args,
                               const std::string& output, const std::string& target) {
  std::string ffmpeg = require_ffmpeg(target);
  std::vector<std::string> args = {ffmpeg, "-hide_banner", "-loglevel", "error", "-nostdin",
                                    "-f", "yuv4mpegpipe", "-i", "pipe:0"};
  args.insert(args.end(), encoder_args.begin(), encoder_args.end());
  args.push_back("-y");
  args.push_back(local_file_url(output));
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
