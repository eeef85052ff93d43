#pragma once
// Helpers for the tool's tests: small generated clips on disk, and the built
// executable run as a child process with its exit status, output and peak
// memory.
#include <cstdint>
#include <string>
#include <vector>

#include "cli/video_format.h"

// A fresh directory under the test's temporary directory, removed with the
// object.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  // The names of the entries in the directory, sorted.
  std::vector<std::string> entries() const;

 private:
  std::string path_;
};

VideoFormat test_format(int width, int height, ChromaFormat chroma, int bit_depth,
                        Interlace interlace = Interlace::kProgressive, bool full_range = false);

// A clip with moving texture and seeded noise, every sample within range.
std::vector<PlanarFrame> make_clip(const VideoFormat& format, int frames, uint32_t seed);

// A clip of `scenes` scenes of `scene_frames` frames each: every scene has
// a picture and a brightness of its own (so that the analyser finds a cut
// between them), moving texture and seeded noise.
std::vector<PlanarFrame> make_scene_clip(const VideoFormat& format, int scenes, int scene_frames, uint32_t seed);

void write_y4m(const std::string& path, const VideoFormat& format,
               const std::vector<PlanarFrame>& frames);
std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
bool file_exists(const std::string& path);

struct ToolRun {
  int exit_status = -1;     // -1 when ended by a signal
  int signal = 0;
  std::string out;          // standard output (when not redirected to a file)
  std::string err;
  long max_rss_kb = 0;      // peak resident memory of the child
};

enum class ToolStdout { kCapture, kClosedPipe, kTerminal };

struct ToolRunOptions {
  std::string stdin_path;                 // "" = /dev/null
  ToolStdout stdout_mode = ToolStdout::kCapture;
  bool empty_path = false;                // run with PATH empty (no ffmpeg)
  std::vector<std::string> extra_env;     // NAME=VALUE entries added to the environment
};

// Runs the built tool with the arguments and waits for it.
ToolRun run_tool(const std::vector<std::string>& args, const ToolRunOptions& options = {});

// The tool under test: QUIETLOOM_TOOL from the environment when set (to run
// the suite against another build), else the one built with the tests.
std::string tool_path();

struct ShellRun {
  int exit_status = -1;  // of the script; -1 when it did not end by itself
  bool timed_out = false;
  std::string out;
  std::string err;
};

// Runs a /bin/sh script in `dir` with $Q set to the tool, standard input
// from /dev/null and no terminal. A script still running after
// `timeout_seconds` is killed with its whole process group (timed_out).
ShellRun run_shell(const std::string& script, const std::string& dir, int timeout_seconds = 60);

// Whether the module's plug-in table is present in this build (the tool
// refuses to run without it).
bool module_table_present();
