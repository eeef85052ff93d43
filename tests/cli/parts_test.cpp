// A clip split into parts: `quietloom plan`, --range runs with and without
// the plan's settings, `quietloom join` and what it refuses, and the frames
// a part reads.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <sstream>
#include <unistd.h>

#include "tool_harness.h"

namespace {

#define REQUIRE_MODULE_TABLE() \
  if (!module_table_present()) GTEST_SKIP() << "the module's plug-in table is not in this build"

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Runs the plan command and returns its ranges.
std::vector<std::string> plan(const std::string& input, int parts, const std::string& save) {
  ToolRun run = run_tool({"plan", "-q", input, "--parts", std::to_string(parts), "--save", save});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  return lines_of(run.out);
}

// Runs every range into its own part (named after its first frame) with
// the given options, then joins the parts; returns the joined bytes.
std::string parts_joined(const ScratchDir& dir, const std::string& input, const std::vector<std::string>& ranges,
                         const std::vector<std::string>& options) {
  std::vector<std::string> join = {"join"};
  for (const std::string& range : ranges) {
    const std::string part = dir.file("part-" + range.substr(0, range.find(':')) + ".y4m");
    std::vector<std::string> args = options;
    args.insert(args.end(), {"-q", "--range", range, input, part});
    ToolRun run = run_tool(args);
    EXPECT_EQ(run.exit_status, 0) << range << ": " << run.err;
    join.push_back(part);
  }
  join.push_back(dir.file("joined.y4m"));
  ToolRun joined = run_tool(join);
  EXPECT_EQ(joined.exit_status, 0) << joined.err;
  for (size_t i = 1; i + 1 < join.size(); ++i) std::remove(join[i].c_str());
  return read_file(dir.file("joined.y4m"));
}

TEST(Parts, JoinedPartsAreTheWholeRun) {
  REQUIRE_MODULE_TABLE();
  ScratchDir dir;
  const VideoFormat format = test_format(64, 48, ChromaFormat::k420, 8);
  write_y4m(dir.file("in.y4m"), format, make_scene_clip(format, 3, 10, 7));
  const std::string input = dir.file("in.y4m");
  ASSERT_EQ(run_tool({"-q", input, dir.file("auto.y4m")}).exit_status, 0);
  ASSERT_EQ(run_tool({"-q", "--preset", "none", input, dir.file("none.y4m")}).exit_status, 0);
  const std::string whole_auto = read_file(dir.file("auto.y4m"));
  const std::string whole_none = read_file(dir.file("none.y4m"));
  // Each scene's own settings make the presets' outputs differ.
  ASSERT_NE(whole_auto, whole_none);
  for (int parts : {4, 16}) {
    const std::string plan_file = dir.file("plan" + std::to_string(parts) + ".json");
    const std::vector<std::string> ranges = plan(input, parts, plan_file);
    ASSERT_EQ(ranges.size(), size_t(parts));
    EXPECT_TRUE(parts_joined(dir, input, ranges, {"--settings", plan_file}) == whole_auto) << parts << " parts";
    if (parts == 4) {
      EXPECT_TRUE(parts_joined(dir, input, ranges, {"--preset", "none"}) == whole_none) << parts << " parts";
      // Without the plan each part measures the scenes it touches.
      EXPECT_TRUE(parts_joined(dir, input, ranges, {}) == whole_auto) << parts << " parts, measured";
    }
  }
}

// "N frames read, M written" from a run with QUIETLOOM_STATS set.
std::pair<long, long> read_and_written(const ToolRun& run) {
  std::smatch m;
  static const std::regex stats("([0-9]+) frames read, ([0-9]+) written");
  if (!std::regex_search(run.err, m, stats)) return {-1, -1};
  return {std::stol(m[1]), std::stol(m[2])};
}

TEST(Parts, ReadOnlyTheWindowOfTheirRange) {
  REQUIRE_MODULE_TABLE();
  ScratchDir dir;
  const VideoFormat format = test_format(32, 32, ChromaFormat::k420, 8);
  write_y4m(dir.file("in.y4m"), format, make_scene_clip(format, 6, 167, 3));  // 1002 frames
  const std::vector<std::string> ranges = plan(dir.file("in.y4m"), 8, dir.file("plan.json"));
  ASSERT_EQ(ranges.size(), 8u);
  ToolRunOptions stats;
  stats.extra_env = {"QUIETLOOM_STATS=1"};
  auto run_part = [&](const std::string& range, const std::string& input, const ToolRunOptions& options) {
    ToolRun run = run_tool({"-q", "--settings", dir.file("plan.json"), "--range", range, input, dir.file("part.y4m")},
                           options);
    EXPECT_EQ(run.exit_status, 0) << input << " " << range << ": " << run.err;
    return std::pair{read_and_written(run), read_file(dir.file("part.y4m"))};
  };
  // A part inside the clip reads the most: its frames and those its window
  // reaches on both sides.
  const auto counts = run_part(ranges[3], dir.file("in.y4m"), stats).first;
  EXPECT_EQ(counts.second, 125) << ranges[3];
  EXPECT_LT(double(counts.first) / double(counts.second), 1.1) << ranges[3] << ": " << counts.first << " frames read";

  // A pipe cannot seek, and a clip whose frames carry parameters has no
  // fixed frame size: both are read from the start, to the same output as
  // a file that seeks.
  const std::string plain = read_file(dir.file("in.y4m"));
  const size_t header = plain.find('\n') + 1, frame = format.frame_bytes() + 6;
  std::string with_parameters = plain.substr(0, header);
  for (size_t at = header; at < plain.size(); at += frame) {
    with_parameters += "FRAME Ip\n" + plain.substr(at + 6, frame - 6);
  }
  write_file(dir.file("parameters.y4m"), with_parameters);
  ToolRunOptions piped = stats;
  piped.stdin_path = dir.file("in.y4m");
  const auto seeking = run_part("600:608", dir.file("in.y4m"), stats);
  EXPECT_LT(seeking.first.first, 30);
  for (auto [input, options] : {std::pair{std::string("-"), piped}, std::pair{dir.file("parameters.y4m"), stats}}) {
    const auto reading = run_part("600:608", input, options);
    EXPECT_TRUE(reading.second == seeking.second) << input;
    EXPECT_GE(reading.first.first, 608) << input << " seeks where it cannot";
  }
}

TEST(Parts, JoinRefusesPartsThatDoNotBelongTogether) {
  REQUIRE_MODULE_TABLE();
  ScratchDir dir;
  const VideoFormat format = test_format(48, 32, ChromaFormat::k420, 8);
  write_y4m(dir.file("in.y4m"), format, make_scene_clip(format, 2, 12, 11));
  const std::string input = dir.file("in.y4m");
  auto part = [&](const std::string& range, const std::string& name, std::vector<std::string> extra = {}) {
    extra.insert(extra.end(), {"-q", "--range", range, input, dir.file(name)});
    ToolRun run = run_tool(extra);
    EXPECT_EQ(run.exit_status, 0) << run.err;
    return dir.file(name);
  };
  const std::string a = part("0:8", "a.y4m"), b = part("8:16", "b.y4m"), c = part("16:24", "c.y4m");
  const std::string b_other = part("8:16", "b-other.y4m", {"--w2dy", "3"});
  const std::string b_planned = part("8:16", "b-planned.y4m", {"--settings", [&] {
                                       plan(input, 3, dir.file("plan.json"));
                                       return dir.file("plan.json");
                                     }()});
  const std::string whole = dir.file("whole.y4m");
  ASSERT_EQ(run_tool({"-q", input, whole}).exit_status, 0);
  const std::string part_b = read_file(b);
  write_file(dir.file("b-short.y4m"), part_b.substr(0, part_b.size() - 100));
  // The same samples under another chroma siting.
  write_file(dir.file("b-siting.y4m"), std::regex_replace(part_b, std::regex(" C420jpeg "), " C420mpeg2 ",
                                                          std::regex_constants::format_first_only));

  struct Case {
    std::vector<std::string> parts;
    std::string says;
  } cases[] = {
      {{a, c}, "frames 8-15 are in no part"},
      {{b, c}, "the parts start at frame 8"},
      {{a, b}, "frames 16-23 of the clip's 24 are in no part"},
      {{a, b, b, c}, "overlaps"},
      {{a, b_other, c}, "other settings"},
      {{a, b_planned, c}, "other settings"},
      {{a, dir.file("b-short.y4m"), c}, "truncated"},
      {{a, dir.file("b-siting.y4m"), c}, "is not that of"},
      {{a, b, c, whole}, "carries no part record"},
  };
  for (const Case& k : cases) {
    std::vector<std::string> args = {"join"};
    args.insert(args.end(), k.parts.begin(), k.parts.end());
    args.push_back(dir.file("out.y4m"));
    ToolRun run = run_tool(args);
    EXPECT_EQ(run.exit_status, 1) << k.says;
    EXPECT_NE(run.err.find(k.says), std::string::npos) << run.err;
    EXPECT_EQ(lines_of(run.err).size(), 1u) << run.err;
    EXPECT_FALSE(file_exists(dir.file("out.y4m"))) << k.says;
  }
  // A part is never the output, by any name; the parts may come in any order.
  ASSERT_EQ(link(c.c_str(), dir.file("c-link.y4m").c_str()), 0);
  const std::string before = read_file(c);
  EXPECT_EQ(run_tool({"join", c, a, b, dir.file("c-link.y4m")}).exit_status, 1);
  EXPECT_TRUE(read_file(c) == before);
  ToolRun joined = run_tool({"join", c, a, b, dir.file("out.y4m")});
  ASSERT_EQ(joined.exit_status, 0) << joined.err;
  EXPECT_TRUE(read_file(dir.file("out.y4m")) == read_file(whole));
}

TEST(Parts, APlanIsCheckedAgainstTheClipAndItself) {
  REQUIRE_MODULE_TABLE();
  ScratchDir dir;
  const VideoFormat format = test_format(48, 32, ChromaFormat::k420, 8);
  write_y4m(dir.file("in.y4m"), format, make_scene_clip(format, 2, 10, 5));
  const VideoFormat other = test_format(64, 32, ChromaFormat::k420, 8);
  write_y4m(dir.file("wide.y4m"), other, make_scene_clip(other, 2, 10, 5));
  write_y4m(dir.file("long.y4m"), format, make_scene_clip(format, 2, 11, 5));
  plan(dir.file("in.y4m"), 2, dir.file("plan.json"));
  const std::string text = read_file(dir.file("plan.json"));
  write_file(dir.file("broken.json"), text.substr(0, text.size() / 2));
  write_file(dir.file("loud.json"), std::regex_replace(text, std::regex("\"w3dyh\": [0-9]+"), "\"w3dyh\": 301",
                                                       std::regex_constants::format_first_only));
  write_file(dir.file("hole.json"), std::regex_replace(text, std::regex("\"first\": 0,"), "\"first\": 1,",
                                                       std::regex_constants::format_first_only));
  struct Case {
    std::string input, plan, says;
  } cases[] = {
      {"wide.y4m", "plan.json", "the plan is for 48x32 frames"},
      {"long.y4m", "plan.json", "the plan is for 20 frames, the clip has 22"},
      {"in.y4m", "broken.json", "not JSON"},
      {"in.y4m", "loud.json", "w3dyh is 301, outside 0..300"},
      {"in.y4m", "hole.json", "scene 1 starts at frame 1"},
      {"in.y4m", "missing.json", "missing.json"},
  };
  for (const Case& k : cases) {
    ToolRun run = run_tool({"-q", "--settings", dir.file(k.plan), dir.file(k.input), dir.file("out.y4m")});
    EXPECT_EQ(run.exit_status, 1) << k.says;
    EXPECT_NE(run.err.find(k.says), std::string::npos) << run.err;
    EXPECT_FALSE(file_exists(dir.file("out.y4m")));
  }
  ToolRun many = run_tool({"plan", dir.file("in.y4m"), "--parts", "21"});
  EXPECT_EQ(many.exit_status, 1);
  EXPECT_NE(many.err.find("fewer than the 21 parts"), std::string::npos) << many.err;
  EXPECT_EQ(run_tool({"plan", dir.file("in.y4m")}).exit_status, 2);
  EXPECT_EQ(run_tool({"plan", dir.file("in.y4m"), "--parts", "2", "--save", dir.file("in.y4m")}).exit_status, 1);
}

}  // namespace
