#include "cli/options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands/denoise_command.h"
#include "cli/tool_error.h"

namespace {

// A table shaped like the module's, with values of its own, so that the
// test shows the defaults and ranges come from the table.
struct TestTable {
  const int32_t defaults[kTrackCount] = {2, 10, 10, 0, 10, 10, 0, 5, 0, 0, 0, 0, 0, 0, 10, 7};
  const int32_t minima[kTrackCount] = {1, 0, 0, 0, 0, 0, 0, 0, -50, -50, -100, -100, -50, -30, 0, 0};
  const int32_t maxima[kTrackCount] = {4, 30, 30, 30, 30, 30, 30, 20, 50, 50, 100, 100, 50, 30, 20, 20};
  const int32_t check_defaults[kCheckCount] = {1, 0, 0, 1, 0};
  FILTER_DLL table{};
  TestTable() {
    table.track_n = kTrackCount;
    table.track_default = defaults;
    table.track_s = minima;
    table.track_e = maxima;
    table.check_n = kCheckCount;
    table.check_default = check_defaults;
  }
};

struct Parsed {
  CommandLine line;
  std::string out, err;
};

Parsed parse(std::vector<std::string> args) {
  static TestTable table;
  args.insert(args.begin(), "quietloom");
  std::vector<const char*> argv;
  for (auto& a : args) argv.push_back(a.c_str());
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  Parsed parsed;
  parsed.line = parse_command_line(int(argv.size()), argv.data(), table.table, out, err);
  for (auto [file, text] : {std::pair{out, &parsed.out}, std::pair{err, &parsed.err}}) {
    std::rewind(file);
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text->append(buffer, got);
    std::fclose(file);
  }
  return parsed;
}

TEST(Options, DefaultsComeFromTheTable) {
  Parsed p = parse({"in.y4m", "out.y4m"});
  ASSERT_EQ(p.line.command, Command::kDenoise) << p.err;
  const DenoiseOptions& o = p.line.denoise;
  EXPECT_EQ(o.input, "in.y4m");
  EXPECT_EQ(o.output, "out.y4m");
  EXPECT_EQ(o.tracks[15], 7);
  EXPECT_EQ(o.tracks[0], 2);
  EXPECT_EQ(o.checks[3], 1);
  EXPECT_FALSE(o.field_given);
  EXPECT_EQ(o.range_first, 0);
  EXPECT_EQ(o.range_end, -1);
}

TEST(Options, EveryTrackHasItsOptionWithinTheTableRange) {
  TestTable table;
  for (int i = 0; i < kTrackCount; ++i) {
    const std::string name = kTrackOptionNames[i];
    Parsed low = parse({name, std::to_string(table.minima[i]), "a", "b"});
    ASSERT_EQ(low.line.command, Command::kDenoise) << name << ": " << low.err;
    EXPECT_EQ(low.line.denoise.tracks[size_t(i)], table.minima[i]) << name;
    Parsed high = parse({name + "=" + std::to_string(table.maxima[i]), "a", "b"});
    EXPECT_EQ(high.line.denoise.tracks[size_t(i)], table.maxima[i]) << name;
    // The noise thresholds go past the plug-in's range, scaled by the tool.
    const int maximum = is_threshold_track(i) ? kMaxThresholdTrack : table.maxima[i];
    Parsed above = parse({name, std::to_string(maximum + 1), "a", "b"});
    EXPECT_EQ(above.line.command, Command::kExit) << name;
    EXPECT_EQ(above.line.exit_status, 2) << name;
    const std::string range = std::to_string(table.minima[i]) + ".." + std::to_string(maximum);
    EXPECT_NE(above.err.find(name), std::string::npos) << above.err;
    EXPECT_NE(above.err.find(range), std::string::npos) << above.err;
    Parsed below = parse({name + "=" + std::to_string(table.minima[i] - 1), "a", "b"});
    EXPECT_EQ(below.line.exit_status, 2) << name;
  }
  EXPECT_EQ(parse({"--frame", "two", "a", "b"}).line.exit_status, 2);
}

TEST(Options, CheckFlagPairsSetAndClear) {
  for (int i = 0; i < kCheckCount; ++i) {
    const std::string on = kCheckOptionNames[i];
    const std::string off = "--no-" + on.substr(2);
    EXPECT_EQ(parse({on, "a", "b"}).line.denoise.checks[size_t(i)], 1) << on;
    EXPECT_EQ(parse({off, "a", "b"}).line.denoise.checks[size_t(i)], 0) << off;
    EXPECT_EQ(parse({off, on, "a", "b"}).line.denoise.checks[size_t(i)], 1) << on;
  }
  EXPECT_TRUE(parse({"--no-field", "a", "b"}).line.denoise.field_given);
}

TEST(Options, FieldProcessingFollowsTheHeaderUnlessTold) {
  DenoiseOptions options;
  options.checks[kCheckFieldMode] = 1;  // the module's default
  VideoFormat format;
  for (auto [mode, expected] : {std::pair{Interlace::kTopFirst, true}, std::pair{Interlace::kBottomFirst, true},
                                std::pair{Interlace::kProgressive, false}, std::pair{Interlace::kUnstated, true},
                                std::pair{Interlace::kMixed, true}}) {
    format.interlace = mode;
    EXPECT_EQ(field_processing(options, format), expected) << int(mode);
  }
  options.field_given = true;
  options.checks[kCheckFieldMode] = 1;
  format.interlace = Interlace::kProgressive;
  EXPECT_TRUE(field_processing(options, format));
  options.checks[kCheckFieldMode] = 0;
  format.interlace = Interlace::kTopFirst;
  EXPECT_FALSE(field_processing(options, format));
}

TEST(Options, RangePreviewSizeAndRunOptions) {
  Parsed p = parse({"--range", "10:20", "--preview", "12:p.png", "--threads", "3", "--simd", "sse3",
                    "--size", "176x144", "--fps", "30000:1001", "--encoder-args", "-c:v 'lib x' -crf 16",
                    "--gain-y", "-10", "-", "-"});
  ASSERT_EQ(p.line.command, Command::kDenoise) << p.err;
  const DenoiseOptions& o = p.line.denoise;
  EXPECT_EQ(o.range_first, 10);
  EXPECT_EQ(o.range_end, 20);
  ASSERT_TRUE(o.preview);
  EXPECT_EQ(o.preview->frame, 12);
  EXPECT_EQ(o.preview->path, "p.png");
  EXPECT_EQ(o.threads, 3);
  EXPECT_EQ(o.simd, KernelLevel::kSse3);
  EXPECT_FALSE(parse({"a", "b"}).line.denoise.simd) << "no --simd: the highest level";
  EXPECT_EQ(parse({"--simd", "plain", "a", "b"}).line.denoise.simd, KernelLevel::kPlain);
  EXPECT_EQ(parse({"--simd", "avx2", "a", "b"}).line.denoise.simd, KernelLevel::kAvx2);
  // The numbers of earlier versions.
  EXPECT_EQ(parse({"--simd", "1", "a", "b"}).line.denoise.simd, KernelLevel::kSse);
  EXPECT_EQ(parse({"--simd", "2", "a", "b"}).line.denoise.simd, KernelLevel::kSse3);
  EXPECT_EQ(o.yc48_size.width, 176);
  EXPECT_EQ(o.yc48_rate.den, 1001);
  EXPECT_EQ(o.tracks[8], -10);
  EXPECT_EQ(o.encoder_args, (std::vector<std::string>{"-c:v", "lib x", "-crf", "16"}));
  Parsed open = parse({"--range", "5:", "a", "b"});
  EXPECT_EQ(open.line.denoise.range_first, 5);
  EXPECT_EQ(open.line.denoise.range_end, -1);
}

TEST(Options, UsageErrorsExitWithTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"only-input.y4m"},
      {"--range", "5:5", "a", "b"},
      {"--range", "x:5", "a", "b"},
      {"--range", "-1:5", "a", "b"},
      {"--preview", "3", "a", "b"},
      {"--size", "64", "a", "b"},
      {"--size", "4000x20", "a", "b"},
      {"--simd", "3", "a", "b"},
      {"--simd", "avx512", "a", "b"},
      {"--threads", "0", "a", "b"},
      {"--unknown", "a", "b"},
      {"--encoder-args", "'open", "a", "b"},
      {"--quiet", "--progress", "a", "b"},
      {"compare", "only-one"},
      {"plan", "a.y4m"},
      {"plan", "a.y4m", "--parts", "2", "--part-frames", "9"},
      {"plan", "a.y4m", "--parts", "0"},
      {"join", "only-output.y4m"},
      {"--preset", "none", "--settings", "p.json", "a", "b"},
  };
  for (const auto& args : cases) {
    Parsed p = parse(args);
    EXPECT_EQ(p.line.command, Command::kExit) << testing::PrintToString(args);
    EXPECT_EQ(p.line.exit_status, 2) << testing::PrintToString(args);
    EXPECT_FALSE(p.err.empty());
  }
}

// Errors that the parser would report without naming the option, or not at
// all: each names the option (or the clip) first, on one line.
TEST(Options, BadValuesNameTheOption) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--anime=abc", "a", "b"}, "--anime: "},
      {{"--anime=2", "a", "b"}, "--anime: "},
      {{"--no-block=x", "a", "b"}, "--no-block: "},
      {{"--frame=", "a", "b", "c"}, "--frame: "},
      {{"--threads", "abc", "a", "b"}, "--threads: "},
      {{"--fps", "1000000000:1", "a", "b"}, "--fps: "},
      {{"--fps", "25:1000000000", "a", "b"}, "--fps: "},
      {{"in.y4m", "demo"}, "in.y4m: "},
      {{"--frame", "3", "compare", "a", "b"}, "--frame: "},
  };
  for (const auto& [args, start] : cases) {
    Parsed p = parse(args);
    EXPECT_EQ(p.line.exit_status, 2) << testing::PrintToString(args);
    EXPECT_EQ(p.err.rfind("quietloom: " + start, 0), 0u) << testing::PrintToString(args) << ": " << p.err;
    EXPECT_EQ(std::count(p.err.begin(), p.err.end(), '\n'), 1) << p.err;
  }
  // The values that do mean on and off.
  Parsed off = parse({"--block=0", "--mosquito=off", "--no-anime=no", "a", "b"});
  ASSERT_EQ(off.line.command, Command::kDenoise) << off.err;
  EXPECT_EQ(off.line.denoise.checks[4], 0);
  EXPECT_EQ(off.line.denoise.checks[3], 0);
  EXPECT_EQ(off.line.denoise.checks[1], 1);
  Parsed rate = parse({"--fps", "999999999:999999999", "a", "b"});
  EXPECT_EQ(rate.line.command, Command::kDenoise) << rate.err;
}

TEST(Options, HelpVersionAndCommands) {
  Parsed help = parse({"--help"});
  EXPECT_EQ(help.line.command, Command::kExit);
  EXPECT_EQ(help.line.exit_status, 0);
  for (const char* name : kTrackOptionNames) EXPECT_NE(help.out.find(name), std::string::npos) << name;
  EXPECT_NE(help.out.find("--no-cross-colour"), std::string::npos);
  Parsed version = parse({"--version"});
  EXPECT_EQ(version.line.exit_status, 0);
  EXPECT_NE(version.out.find("quietloom "), std::string::npos);
  Parsed compare = parse({"compare", "a.y4m", "b.y4m"});
  EXPECT_EQ(compare.line.command, Command::kCompare);
  EXPECT_EQ(compare.line.compare.second, "b.y4m");
  Parsed demo = parse({"demo"});
  EXPECT_EQ(demo.line.command, Command::kDemo);
  EXPECT_EQ(demo.line.demo.directory, "quietloom-demo");
  EXPECT_EQ(parse({"demo", "d"}).line.demo.directory, "d");
  Parsed join = parse({"join", "p1.y4m", "p2.y4m", "out.y4m"});
  ASSERT_EQ(join.line.command, Command::kJoin) << join.err;
  EXPECT_EQ(join.line.join.parts, (std::vector<std::string>{"p1.y4m", "p2.y4m"}));
  EXPECT_EQ(join.line.join.output, "out.y4m");
  Parsed plan = parse({"plan", "a.y4m", "--part-frames", "500", "--save", "p.json"});
  ASSERT_EQ(plan.line.command, Command::kPlan) << plan.err;
  EXPECT_EQ(plan.line.plan.part_frames, 500);
  EXPECT_EQ(plan.line.plan.save, "p.json");
}

TEST(Options, AnEmptyTableIsRefused) {
  FILTER_DLL empty{};
  EXPECT_THROW(default_denoise_options(empty), ToolError);
}

}  // namespace
