// The built tool run as a child process: identity, --range, formats, errors
// with their exit status, no partial output, and the streaming memory bound.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cli/clip_io/ffmpeg_pipe.h"
#include "cli/clip_io/y4m_reader.h"
#include "cli/clip_io/y4m_writer.h"
#include "tool_harness.h"

extern char** environ;

namespace {

// Every temporal track at its lowest: the window holds 3 frames and no
// coefficient is replaced by a temporal estimate.
const std::vector<std::string> kIdentitySettings = {"--frame", "1", "--w3dyl", "0", "--w3dyh", "0",
                                                    "--w3dcl", "0", "--w3dch", "0", "-q"};

#define REQUIRE_MODULE_TABLE() \
  if (!module_table_present()) GTEST_SKIP() << "the module's plug-in table is not in this build"

std::vector<std::string> with(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct ReadClip {
  VideoFormat format;
  std::vector<PlanarFrame> frames;
};

ReadClip read_y4m(const std::string& path) {
  ReadClip clip;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) throw std::runtime_error("cannot read " + path);
  Y4mReader reader(file, path);
  clip.format = reader.format();
  PlanarFrame frame;
  while (reader.read_frame(frame)) clip.frames.push_back(frame);
  std::fclose(file);
  return clip;
}

// The largest difference between two clips' samples.
int max_difference(const std::vector<PlanarFrame>& a, const std::vector<PlanarFrame>& b) {
  int worst = 0;
  for (size_t f = 0; f < a.size(); ++f) {
    for (int p = 0; p < 3; ++p) {
      for (size_t i = 0; i < a[f].plane[p].size(); ++i) {
        worst = std::max(worst, std::abs(int(a[f].plane[p][i]) - int(b[f].plane[p][i])));
      }
    }
  }
  return worst;
}

// Names left in the directory other than the ones expected.
std::vector<std::string> leftovers(const ScratchDir& dir, std::vector<std::string> expected) {
  std::vector<std::string> extra;
  for (const std::string& name : dir.entries()) {
    if (std::find(expected.begin(), expected.end(), name) == expected.end()) extra.push_back(name);
  }
  return extra;
}

TEST(Tool, IdentitySettingsKeepEverySampleWithinOne) {
  REQUIRE_MODULE_TABLE();
  struct Case {
    int w, h;
    ChromaFormat chroma;
    int depth;
    Interlace interlace;
    bool full;
  } cases[] = {
      {64, 48, ChromaFormat::k420, 8, Interlace::kProgressive, false},
      {64, 48, ChromaFormat::k420, 10, Interlace::kProgressive, false},
      {64, 48, ChromaFormat::k422, 8, Interlace::kProgressive, true},
      {64, 48, ChromaFormat::k422, 10, Interlace::kProgressive, false},
      {72, 40, ChromaFormat::k420, 8, Interlace::kTopFirst, false},
      {72, 40, ChromaFormat::k420, 10, Interlace::kUnstated, true},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    VideoFormat format = test_format(c.w, c.h, c.chroma, c.depth, c.interlace, c.full);
    auto clip = make_clip(format, 6, 21);
    write_y4m(dir.file("in.y4m"), format, clip);
    ToolRun run = run_tool(with(kIdentitySettings, {dir.file("in.y4m"), dir.file("out.y4m")}));
    ASSERT_EQ(run.exit_status, 0) << run.err;
    ReadClip out = read_y4m(dir.file("out.y4m"));
    EXPECT_EQ(y4m_header_line(out.format), y4m_header_line(format));
    ASSERT_EQ(out.frames.size(), clip.size());
    EXPECT_LE(max_difference(out.frames, clip), 1)
        << c.w << "x" << c.h << " C" << format.chroma_tag << " I" << int(c.interlace);
  }
}

TEST(Tool, RangeOutputIsBitIdenticalToTheWholeRun) {
  REQUIRE_MODULE_TABLE();
  ScratchDir dir;
  VideoFormat format = test_format(72, 40, ChromaFormat::k420, 8);
  write_y4m(dir.file("in.y4m"), format, make_clip(format, 24, 5));
  // Every pre-stage on, so that the widest reach around a frame is used.
  const std::vector<std::string> settings = {"--frame", "3", "--cross-colour", "--mosquito",
                                             "--block", "--w2dy", "5", "-q"};
  ASSERT_EQ(run_tool(with(settings, {dir.file("in.y4m"), dir.file("all.y4m")})).exit_status, 0);
  ReadClip all = read_y4m(dir.file("all.y4m"));
  ASSERT_EQ(all.frames.size(), 24u);
  const std::pair<int, int> ranges[] = {{0, 3}, {9, 16}, {20, 24}, {23, -1}};
  for (auto [first, end] : ranges) {
    std::string range_arg = std::to_string(first) + ":" + (end < 0 ? "" : std::to_string(end));
    ToolRun run = run_tool(with(settings, {"--range", range_arg, dir.file("in.y4m"), dir.file("part.y4m")}));
    ASSERT_EQ(run.exit_status, 0) << run.err;
    ReadClip part = read_y4m(dir.file("part.y4m"));
    const size_t stop = end < 0 ? 24 : size_t(end);
    ASSERT_EQ(part.frames.size(), stop - size_t(first)) << range_arg;
    for (size_t i = 0; i < part.frames.size(); ++i) {
      for (int p = 0; p < 3; ++p) {
        ASSERT_EQ(part.frames[i].plane[p], all.frames[size_t(first) + i].plane[p])
            << "range " << range_arg << " frame " << first + int(i) << " plane " << p;
      }
    }
  }
  // A range that starts past the end is an error.
  ToolRun past = run_tool(with(settings, {"--range", "30:40", dir.file("in.y4m"), dir.file("none.y4m")}));
  EXPECT_EQ(past.exit_status, 1);
  EXPECT_FALSE(file_exists(dir.file("none.y4m")));
}

TEST(Tool, PipesRawFramesPreviewAndProgress) {
  REQUIRE_MODULE_TABLE();
  ScratchDir dir;
  VideoFormat format = test_format(64, 48, ChromaFormat::k420, 8);
  write_y4m(dir.file("in.y4m"), format, make_clip(format, 5, 8));
  ASSERT_EQ(run_tool({"-q", dir.file("in.y4m"), dir.file("file.y4m")}).exit_status, 0);
  // stdin to stdout gives the same bytes as file to file.
  ToolRunOptions piped;
  piped.stdin_path = dir.file("in.y4m");
  ToolRun run = run_tool({"-", "-"}, piped);
  ASSERT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.out, read_file(dir.file("file.y4m")));
  // No progress when stderr is not a terminal: only the scene's settings.
  EXPECT_EQ(run.err.rfind("quietloom: scene 1, frames 0-4: ", 0), 0u) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  // Through raw host frames and back.
  ASSERT_EQ(run_tool(with(kIdentitySettings, {dir.file("in.y4m"), dir.file("raw.yc48")})).exit_status, 0);
  EXPECT_EQ(read_file(dir.file("raw.yc48")).size(), 5u * 64 * 48 * 6);
  ToolRun no_size = run_tool({dir.file("raw.yc48"), dir.file("x.y4m")});
  EXPECT_EQ(no_size.exit_status, 2);
  EXPECT_NE(no_size.err.find("--size"), std::string::npos);
  ToolRun back = run_tool({"--frame", "1", "--w3dyl", "0", "--w3dyh", "0", "--w3dcl", "0", "--w3dch", "0",
                           "--size", "64x48", "--fps", "24", "--progress", "--preview", "2:" + dir.file("p.png"),
                           dir.file("raw.yc48"), dir.file("back.y4m")});
  ASSERT_EQ(back.exit_status, 0) << back.err;
  EXPECT_NE(back.err.find("5/5 frames"), std::string::npos) << back.err;
  ReadClip raw_back = read_y4m(dir.file("back.y4m"));
  EXPECT_EQ(raw_back.format.chroma_tag, "444p10");
  EXPECT_EQ(raw_back.format.frame_rate.num, 24);
  ASSERT_EQ(raw_back.frames.size(), 5u);
  std::string png = read_file(dir.file("p.png"));
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  const auto* ihdr = reinterpret_cast<const unsigned char*>(png.data() + 16);
  EXPECT_EQ((ihdr[0] << 24) | (ihdr[1] << 16) | (ihdr[2] << 8) | ihdr[3], 3 * 64 + 8);
  EXPECT_EQ((ihdr[4] << 24) | (ihdr[5] << 16) | (ihdr[6] << 8) | ihdr[7], 48);
}

TEST(Tool, ErrorsNameTheFileAndLeaveNoPartialOutput) {
  REQUIRE_MODULE_TABLE();
  ScratchDir dir;
  VideoFormat format = test_format(64, 48, ChromaFormat::k420, 8);
  write_y4m(dir.file("in.y4m"), format, make_clip(format, 8, 2));
  const std::string good = read_file(dir.file("in.y4m"));
  // The last frame cut short: the first frames are rendered before the error.
  write_file(dir.file("short.y4m"), good.substr(0, good.size() - 100));
  write_file(dir.file("bad.y4m"), "YUV4MPEG2 W64 H48 F25:1 C411\n");
  write_file(dir.file("big.y4m"), "YUV4MPEG2 W2048 H1080 F25:1\n");
  write_file(dir.file("marker.y4m"), good.substr(0, good.find("FRAME")) + "FRAMEX" + good.substr(good.find("FRAME") + 6));
  std::filesystem::create_symlink(dir.file("in.y4m"), dir.file("link.y4m"));
  std::filesystem::create_directory(dir.file("sub"));
  const std::vector<std::string> inputs = {"in.y4m", "short.y4m", "bad.y4m", "big.y4m", "marker.y4m", "link.y4m", "sub"};

  struct Case {
    std::vector<std::string> args;
    int status;
    std::string message;
  } cases[] = {
      {{dir.file("missing.y4m"), dir.file("out.y4m")}, 1, dir.file("missing.y4m") + ": No such file"},
      {{dir.file("short.y4m"), dir.file("out.y4m")}, 1, dir.file("short.y4m") + ": truncated frame 7"},
      {{dir.file("bad.y4m"), dir.file("out.y4m")}, 1, dir.file("bad.y4m") + ": unsupported chroma format or depth C411"},
      {{dir.file("big.y4m"), dir.file("out.y4m")}, 1, dir.file("big.y4m") + ": frame size 2048x1080 is above"},
      {{dir.file("marker.y4m"), dir.file("out.y4m")}, 1, dir.file("marker.y4m") + ": bad frame marker at frame 0"},
      {{dir.file("in.y4m"), dir.file("in.y4m")}, 1, dir.file("in.y4m") + ": is the input file"},
      {{dir.file("in.y4m"), dir.file("link.y4m")}, 1, dir.file("link.y4m") + ": is the input file"},
      {{dir.file("in.y4m"), dir.file("sub/../in.y4m")}, 1, "is the input file"},
      {{dir.file("in.y4m"), dir.file("sub")}, 1, dir.file("sub") + ": is a directory"},
      {{dir.file("in.y4m"), dir.file("nodir/out.y4m")}, 1, dir.file("nodir/out.y4m") + ": cannot create output"},
      {{"--frame", "7", dir.file("in.y4m"), dir.file("out.y4m")}, 2, "--frame"},
      {{"--range", "4:2", dir.file("in.y4m"), dir.file("out.y4m")}, 2, "--range"},
      {{"--preview", "50:" + dir.file("p.png"), dir.file("in.y4m"), dir.file("out.y4m")}, 1, "--preview: frame 50"},
      {{"--encoder-args", "-c:v x", dir.file("in.y4m"), dir.file("out.y4m")}, 2, "--encoder-args"},
  };
  for (const Case& c : cases) {
    ToolRun run = run_tool(with({"-q"}, c.args));
    EXPECT_EQ(run.exit_status, c.status) << testing::PrintToString(c.args) << "\n" << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << "expected '" << c.message << "' in: " << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(leftovers(dir, inputs), std::vector<std::string>{}) << testing::PrintToString(c.args);
  }
  EXPECT_EQ(read_file(dir.file("in.y4m")), good);
}

TEST(Tool, RefusesTerminalsAndStopsOnAClosedPipe) {
  REQUIRE_MODULE_TABLE();
  ScratchDir dir;
  VideoFormat format = test_format(64, 48, ChromaFormat::k420, 8);
  write_y4m(dir.file("in.y4m"), format, make_clip(format, 40, 2));
  ToolRunOptions terminal;
  terminal.stdout_mode = ToolStdout::kTerminal;
  ToolRun refused = run_tool({dir.file("in.y4m"), "-"}, terminal);
  EXPECT_EQ(refused.exit_status, 1);
  EXPECT_NE(refused.err.find("terminal"), std::string::npos) << refused.err;
  ToolRunOptions closed;
  closed.stdout_mode = ToolStdout::kClosedPipe;
  ToolRun broken = run_tool({dir.file("in.y4m"), "-"}, closed);
  EXPECT_EQ(broken.signal, 0) << "ended by signal " << broken.signal;
  EXPECT_EQ(broken.exit_status, 1);
  EXPECT_NE(broken.err.find("-: write failed"), std::string::npos) << broken.err;
}

TEST(Tool, InterruptLeavesNoPartialOutput) {
  REQUIRE_MODULE_TABLE();
  ScratchDir dir;
  VideoFormat format = test_format(64, 48, ChromaFormat::k420, 8);
  write_y4m(dir.file("in.y4m"), format, make_clip(format, 10, 2));
  const std::string clip = read_file(dir.file("in.y4m"));
  // The tool reads a pipe that delivers only part of the clip and then
  // waits; it is interrupted while its output is half written.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::string target = dir.file("out.y4m");
  std::vector<std::string> args = {tool_path(), "-q", "-", target};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
  posix_spawn_file_actions_addclose(&actions, fds[1]);
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[0]);
  const size_t part = clip.size() / 2;
  ASSERT_EQ(write(fds[1], clip.data(), part), ssize_t(part));
  // Wait for the temporary output to appear (the header is parsed by then).
  bool temp_seen = false;
  for (int i = 0; i < 500 && !temp_seen; ++i) {
    for (const std::string& name : dir.entries()) temp_seen |= name.find(".quietloom-") != std::string::npos;
    if (!temp_seen) usleep(10000);
  }
  EXPECT_TRUE(temp_seen);
  kill(pid, SIGINT);
  int status = 0;
  waitpid(pid, &status, 0);
  close(fds[1]);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"in.y4m"});
}

TEST(Tool, PeakMemoryDoesNotGrowWithTheClip) {
  REQUIRE_MODULE_TABLE();
  ScratchDir dir;
  VideoFormat format = test_format(176, 144, ChromaFormat::k420, 8);
  write_y4m(dir.file("short.y4m"), format, make_clip(format, 10, 4));
  write_y4m(dir.file("long.y4m"), format, make_clip(format, 150, 4));
  // Under AddressSanitizer freed blocks wait in a quarantine, which would
  // make the peak grow with the number of frames; turn it off.
  ToolRunOptions options;
  options.extra_env = {"ASAN_OPTIONS=quarantine_size_mb=0"};
  ToolRun small = run_tool({"-q", "--threads", "2", dir.file("short.y4m"), dir.file("a.y4m")}, options);
  ToolRun large = run_tool({"-q", "--threads", "2", dir.file("long.y4m"), dir.file("b.y4m")}, options);
  ASSERT_EQ(small.exit_status, 0) << small.err;
  ASSERT_EQ(large.exit_status, 0) << large.err;
  // Holding the whole long clip would take 150 x 176 x 144 x 6 bytes (22 MB)
  // in host units; allow 4 MB of noise between the two runs.
  EXPECT_LT(large.max_rss_kb, small.max_rss_kb + 4096)
      << "10 frames: " << small.max_rss_kb << " KB, 150 frames: " << large.max_rss_kb << " KB";
}

TEST(Tool, CompareReportsPerPlaneAndOverall) {
  REQUIRE_MODULE_TABLE();
  ScratchDir dir;
  VideoFormat format = test_format(64, 48, ChromaFormat::k420, 8);
  write_y4m(dir.file("a.y4m"), format, make_clip(format, 3, 1));
  write_y4m(dir.file("b.y4m"), format, make_clip(format, 3, 2));
  write_y4m(dir.file("c.y4m"), test_format(48, 48, ChromaFormat::k420, 8), make_clip(test_format(48, 48, ChromaFormat::k420, 8), 3, 1));
  ToolRun same = run_tool({"compare", dir.file("a.y4m"), dir.file("a.y4m")});
  ASSERT_EQ(same.exit_status, 0) << same.err;
  EXPECT_NE(same.out.find("frames 3"), std::string::npos);
  std::string words;  // the output with every run of blanks made one space
  for (char c : same.out) {
    if (c != ' ' || (!words.empty() && words.back() != ' ')) words += c;
  }
  for (const char* line : {"Y inf 1.0000", "Cb inf 1.0000", "Cr inf 1.0000", "all inf 1.0000"}) {
    EXPECT_NE(words.find(line), std::string::npos) << same.out;
  }
  ToolRun different = run_tool({"compare", dir.file("a.y4m"), dir.file("b.y4m")});
  ASSERT_EQ(different.exit_status, 0);
  EXPECT_EQ(different.out.find("inf"), std::string::npos) << different.out;
  ToolRun mismatch = run_tool({"compare", dir.file("a.y4m"), dir.file("c.y4m")});
  EXPECT_EQ(mismatch.exit_status, 1);
  EXPECT_NE(mismatch.err.find("does not match"), std::string::npos);
}

TEST(Tool, GoesThroughFfmpegOrNamesItWhenMissing) {
  REQUIRE_MODULE_TABLE();
  ScratchDir dir;
  VideoFormat format = test_format(64, 48, ChromaFormat::k422, 10);
  auto clip = make_clip(format, 4, 6);
  write_y4m(dir.file("in.y4m"), format, clip);
  ToolRunOptions no_path;
  no_path.empty_path = true;
  ToolRun missing = run_tool({dir.file("in.y4m"), dir.file("out.mkv")}, no_path);
  EXPECT_EQ(missing.exit_status, 1);
  EXPECT_NE(missing.err.find("ffmpeg"), std::string::npos) << missing.err;
  EXPECT_EQ(leftovers(dir, {"in.y4m"}), std::vector<std::string>{});
  if (find_on_path("ffmpeg").empty()) GTEST_SKIP() << "ffmpeg is not on PATH";
  // Encode losslessly, decode again: two identity passes, within one code each.
  ToolRun encode = run_tool(with(kIdentitySettings, {"--encoder-args", "-c:v ffv1", dir.file("in.y4m"), dir.file("out.mkv")}));
  ASSERT_EQ(encode.exit_status, 0) << encode.err;
  ToolRun decode = run_tool(with(kIdentitySettings, {dir.file("out.mkv"), dir.file("back.y4m")}));
  ASSERT_EQ(decode.exit_status, 0) << decode.err;
  ReadClip back = read_y4m(dir.file("back.y4m"));
  EXPECT_EQ(back.format.chroma_tag, "422p10");
  ASSERT_EQ(back.frames.size(), clip.size());
  EXPECT_LE(max_difference(back.frames, clip), 2);
  EXPECT_EQ(leftovers(dir, {"in.y4m", "out.mkv", "back.y4m"}), std::vector<std::string>{});
}

TEST(Tool, DemoWritesItsClipsAndReportsTheGain) {
  REQUIRE_MODULE_TABLE();
  ScratchDir dir;
  ToolRun run = run_tool({"demo", dir.file("demo")});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  for (const char* name : {"clean.y4m", "noisy.y4m", "denoised.y4m", "preview.png"}) {
    EXPECT_TRUE(file_exists(dir.file("demo/") + name)) << name;
  }
  EXPECT_NE(run.out.find("noisy"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("denoised"), std::string::npos) << run.out;
  EXPECT_EQ(read_y4m(dir.file("demo/denoised.y4m")).frames.size(), 24u);
}

}  // namespace

namespace {

TEST(Tool, ClipsShorterThanTheWindowNarrowItOrAreRefused) {
  REQUIRE_MODULE_TABLE();
  ScratchDir dir;
  VideoFormat format = test_format(64, 48, ChromaFormat::k420, 8);
  auto clip = make_clip(format, 2, 3);
  write_y4m(dir.file("two.y4m"), format, clip);
  write_y4m(dir.file("one.y4m"), format, {clip[0]});
  // Frame 4 needs 5 frames to mirror into; two frames narrow it to 1.
  ToolRun two = run_tool({"--preset", "none", "--frame", "4", dir.file("two.y4m"), dir.file("out.y4m")});
  ASSERT_EQ(two.exit_status, 0) << two.err;
  EXPECT_NE(two.err.find("temporal radius lowered to 1"), std::string::npos) << two.err;
  EXPECT_EQ(read_y4m(dir.file("out.y4m")).frames.size(), 2u);
  // The same narrowing applies to a part of the clip, and to a scene.
  ASSERT_EQ(run_tool({"-q", "--preset", "none", "--frame", "4", "--range", "1:2", dir.file("two.y4m"),
                      dir.file("part.y4m")}).exit_status, 0);
  EXPECT_EQ(read_y4m(dir.file("part.y4m")).frames[0].plane[0], read_y4m(dir.file("out.y4m")).frames[1].plane[0]);
  ToolRun scene = run_tool({"--frame", "4", dir.file("two.y4m"), dir.file("auto.y4m")});
  ASSERT_EQ(scene.exit_status, 0) << scene.err;
  EXPECT_NE(scene.err.find("frames 0-1: "), std::string::npos) << scene.err;
  EXPECT_NE(scene.err.find("--frame 1"), std::string::npos) << scene.err;
  ToolRun one = run_tool({dir.file("one.y4m"), dir.file("none.y4m")});
  EXPECT_EQ(one.exit_status, 1);
  EXPECT_NE(one.err.find("at least 2"), std::string::npos) << one.err;
  EXPECT_FALSE(file_exists(dir.file("none.y4m")));
}

// Where the kernel gives huge pages on request, the tool restarts itself with
// glibc's tunable for them; the programs it starts see the environment the
// user gave it, whether it restarted or not. A stand-in ffmpeg on PATH
// records that environment.
TEST(Tool, RestartsWithHugePagesUnlessTurnedOff) {
  REQUIRE_MODULE_TABLE();
  ScratchDir dir;
  write_file(dir.file("ffmpeg"), "#!/bin/sh\n/usr/bin/env > \"" + dir.file("env.txt") + "\"\nexit 1\n");
  ASSERT_EQ(chmod(dir.file("ffmpeg").c_str(), 0755), 0);
  write_file(dir.file("in.mkv"), "not a video");
  std::string modes = read_file("/sys/kernel/mm/transparent_hugepage/enabled");
  const bool on_request = modes.find("[madvise]") != std::string::npos;
  auto tunables_seen = [&](std::vector<std::string> env) {
    env.push_back("PATH=" + dir.path());
    ToolRunOptions options;
    options.extra_env = env;
    std::remove(dir.file("env.txt").c_str());
    ToolRun run = run_tool({dir.file("in.mkv"), dir.file("out.y4m")}, options);
    EXPECT_EQ(run.exit_status, 1) << run.err;
    const std::string seen = read_file(dir.file("env.txt"));
    const size_t at = seen.find("GLIBC_TUNABLES=");
    return at == std::string::npos ? std::string("-") : seen.substr(at + 15, seen.find('\n', at) - at - 15);
  };
  EXPECT_EQ(tunables_seen({"QUIETLOOM_HUGE_PAGES=0", "GLIBC_TUNABLES=glibc.malloc.check=0"}),
            "glibc.malloc.check=0");
  // A choice of the user's is kept.
  EXPECT_EQ(tunables_seen({"GLIBC_TUNABLES=glibc.malloc.hugetlb=0"}), "glibc.malloc.hugetlb=0");
  if (!on_request) GTEST_SKIP() << "the kernel does not give huge pages on request";
  EXPECT_EQ(tunables_seen({"GLIBC_TUNABLES=glibc.malloc.check=0"}), "glibc.malloc.check=0");
  EXPECT_EQ(tunables_seen({}), "-");
}

}  // namespace
