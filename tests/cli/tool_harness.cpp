#include "tool_harness.h"

#include <cstdio>
#include <csignal>
#include <cstring>
#include <stdlib.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <spawn.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "cli/clip_io/y4m_writer.h"
#include "plugin/host_api.h"

extern char** environ;

ScratchDir::ScratchDir() {
  std::string base = testing::TempDir() + "quietloom-cli-XXXXXX";
  std::vector<char> name(base.begin(), base.end());
  name.push_back('\0');
  if (!mkdtemp(name.data())) throw std::runtime_error("mkdtemp failed");
  path_ = name.data();
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> ScratchDir::entries() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path_)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

VideoFormat test_format(int width, int height, ChromaFormat chroma, int bit_depth,
                        Interlace interlace, bool full_range) {
  VideoFormat format;
  format.width = width;
  format.height = height;
  format.chroma = chroma;
  format.bit_depth = bit_depth;
  const char* base = chroma == ChromaFormat::k420 ? "420" : chroma == ChromaFormat::k422 ? "422" : "444";
  format.chroma_tag = std::string(base) + (bit_depth == 10 ? "p10" : chroma == ChromaFormat::k420 ? "jpeg" : "");
  format.interlace = interlace;
  format.full_range = full_range;
  format.range_stated = full_range;
  format.frame_rate = {30000, 1001};
  format.aspect = {1, 1};
  format.aspect_stated = true;
  return format;
}

std::vector<PlanarFrame> make_clip(const VideoFormat& format, int frames, uint32_t seed) {
  std::mt19937 random(seed);
  const int max = format.max_sample();
  const int s = 1 << (format.bit_depth - 8);
  std::vector<PlanarFrame> clip(static_cast<size_t>(frames));
  for (int i = 0; i < frames; ++i) {
    PlanarFrame& frame = clip[size_t(i)];
    frame.allocate(format);
    for (int p = 0; p < 3; ++p) {
      const int w = p == 0 ? format.width : format.chroma_width();
      const int h = p == 0 ? format.height : format.chroma_height();
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
          int base = p == 0 ? 40 * s + ((x + 3 * i) * 7 + y * 5) % (150 * s) : 128 * s + ((x - 2 * i + y) % 60 - 30) * s;
          int v = base + int(random() % uint32_t(16 * s)) - 8 * s;
          frame.plane[p][size_t(y) * w + x] = uint16_t(std::clamp(v, 0, max));
        }
      }
    }
  }
  return clip;
}

std::vector<PlanarFrame> make_scene_clip(const VideoFormat& format, int scenes, int scene_frames, uint32_t seed) {
  std::mt19937 random(seed);
  const int max = format.max_sample();
  const int s = 1 << (format.bit_depth - 8);
  std::vector<PlanarFrame> clip(size_t(scenes) * size_t(scene_frames));
  for (size_t i = 0; i < clip.size(); ++i) {
    const int scene = int(i) / scene_frames, t = int(i) % scene_frames;
    PlanarFrame& frame = clip[i];
    frame.allocate(format);
    for (int p = 0; p < 3; ++p) {
      const int w = p == 0 ? format.width : format.chroma_width();
      const int h = p == 0 ? format.height : format.chroma_height();
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
          const int texture = ((x * (scene + 2) + t * (scene % 2 ? 1 : 3)) * 5 + y * (7 - scene % 3)) % 60;
          int base = p == 0 ? (30 + 60 * (scene % 3) + texture) * s : (128 + (scene % 2 ? 25 : -25) + texture / 6) * s;
          int v = base + int(random() % uint32_t(12 * s)) - 6 * s;
          frame.plane[p][size_t(y) * w + x] = uint16_t(std::clamp(v, 0, max));
        }
      }
    }
  }
  return clip;
}

void write_y4m(const std::string& path, const VideoFormat& format,
               const std::vector<PlanarFrame>& frames) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) throw std::runtime_error("cannot write " + path);
  Y4mWriter writer(file, path, format);
  for (const PlanarFrame& frame : frames) writer.write_frame(frame);
  std::fclose(file);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

bool file_exists(const std::string& path) { return std::filesystem::exists(path); }

namespace {

std::string slurp_fd(int fd) {
  std::string text;
  char buffer[65536];
  ssize_t got;
  while ((got = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, size_t(got));
  return text;
}

}  // namespace

std::string tool_path() {
  const char* chosen = std::getenv("QUIETLOOM_TOOL");
  return chosen && *chosen ? chosen : QUIETLOOM_TOOL_PATH;
}

ShellRun run_shell(const std::string& script, const std::string& dir, int timeout_seconds) {
  char out_name[] = "/tmp/quietloom-out-XXXXXX";
  char err_name[] = "/tmp/quietloom-err-XXXXXX";
  int out_fd = mkstemp(out_name), err_fd = mkstemp(err_name);
  int in_fd = open("/dev/null", O_RDONLY);
  const std::string full = "cd '" + dir + "' || exit 99\n" + script;
  std::string shell = "/bin/sh", flag = "-c", body = full;
  char* argv[] = {shell.data(), flag.data(), body.data(), nullptr};
  std::vector<std::string> env_strings = {"Q=" + tool_path()};
  for (char** e = environ; *e; ++e) {
    if (std::strncmp(*e, "Q=", 2) != 0) env_strings.push_back(*e);
  }
  std::vector<char*> envp;
  for (auto& e : env_strings) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in_fd, 0);
  posix_spawn_file_actions_adddup2(&actions, out_fd, 1);
  posix_spawn_file_actions_adddup2(&actions, err_fd, 2);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // A group of its own, so that a hung script is killed with its children.
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  ShellRun run;
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, &attributes, argv, envp.data()) == 0) {
    int status = 0;
    for (int waited = 0;; ++waited) {
      pid_t done = waitpid(pid, &status, WNOHANG);
      if (done == pid) break;
      if (waited >= timeout_seconds * 100) {
        run.timed_out = true;
        kill(-pid, SIGKILL);
        waitpid(pid, &status, 0);
        break;
      }
      usleep(10000);
    }
    if (!run.timed_out && WIFEXITED(status)) run.exit_status = WEXITSTATUS(status);
  }
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  lseek(out_fd, 0, SEEK_SET);
  lseek(err_fd, 0, SEEK_SET);
  run.out = slurp_fd(out_fd);
  run.err = slurp_fd(err_fd);
  for (int fd : {out_fd, err_fd, in_fd}) close(fd);
  unlink(out_name);
  unlink(err_name);
  return run;
}

ToolRun run_tool(const std::vector<std::string>& args, const ToolRunOptions& options) {
  std::vector<std::string> all = {tool_path()};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env_strings;
  // Entries of the caller's environment that the options replace are left out.
  auto replaced = [&options](const char* entry) {
    if (options.empty_path && std::strncmp(entry, "PATH=", 5) == 0) return true;
    for (const std::string& extra : options.extra_env) {
      size_t name_length = extra.find('=') + 1;
      if (std::strncmp(entry, extra.c_str(), name_length) == 0) return true;
    }
    return false;
  };
  for (char** e = environ; *e; ++e) {
    if (!replaced(*e)) env_strings.push_back(*e);
  }
  if (options.empty_path) env_strings.push_back("PATH=");
  env_strings.insert(env_strings.end(), options.extra_env.begin(), options.extra_env.end());
  std::vector<char*> envp;
  for (auto& e : env_strings) envp.push_back(e.data());
  envp.push_back(nullptr);

  // Output and errors go to files, so a large output cannot block the child.
  char out_name[] = "/tmp/quietloom-out-XXXXXX";
  char err_name[] = "/tmp/quietloom-err-XXXXXX";
  int out_fd = mkstemp(out_name), err_fd = mkstemp(err_name);
  int in_fd = open(options.stdin_path.empty() ? "/dev/null" : options.stdin_path.c_str(), O_RDONLY);
  int child_out = out_fd;
  int pipe_fds[2] = {-1, -1};
  int terminal = -1;
  if (options.stdout_mode == ToolStdout::kClosedPipe) {
    if (pipe(pipe_fds) != 0) throw std::runtime_error("pipe");
    close(pipe_fds[0]);  // nobody reads: every write fails with EPIPE
    child_out = pipe_fds[1];
  } else if (options.stdout_mode == ToolStdout::kTerminal) {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) throw std::runtime_error("pty");
    terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
    child_out = terminal;
    pipe_fds[0] = master;  // closed below
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in_fd, 0);
  posix_spawn_file_actions_adddup2(&actions, child_out, 1);
  posix_spawn_file_actions_adddup2(&actions, err_fd, 2);
  pid_t pid = -1;
  ToolRun run;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    run.max_rss_kb = usage.ru_maxrss;
    if (WIFEXITED(status)) run.exit_status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  for (int fd : {pipe_fds[0], pipe_fds[1], terminal}) {
    if (fd >= 0) close(fd);
  }
  lseek(out_fd, 0, SEEK_SET);
  lseek(err_fd, 0, SEEK_SET);
  run.out = slurp_fd(out_fd);
  run.err = slurp_fd(err_fd);
  close(out_fd);
  close(err_fd);
  close(in_fd);
  unlink(out_name);
  unlink(err_name);
  return run;
}

bool module_table_present() {
  const FILTER_DLL* table = GetFilterTable();
  return table->track_n > 0 && table->track_default != nullptr;
}
