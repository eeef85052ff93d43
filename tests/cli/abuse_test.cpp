// The tool used as a careless or hostile user would, through a shell: no
// input is ever destroyed, no run hangs, every failure is one line of ours,
// and what is written can be read back. Each case runs a short script in a
// scratch folder holding a small clip, in.y4m, and the same run's reference
// output, ref.y4m.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tool_harness.h"

namespace {

class ToolAbuse : public testing::Test {
 protected:
  void SetUp() override {
    if (!module_table_present()) GTEST_SKIP() << "the module's plug-in table is not in this build";
    const VideoFormat format = test_format(64, 48, ChromaFormat::k420, 8);
    write_y4m(dir.file("in.y4m"), format, make_clip(format, 8, 5));
    input = read_file(dir.file("in.y4m"));
    ShellRun reference = sh("$Q -q in.y4m ref.y4m");
    ASSERT_EQ(reference.exit_status, 0) << reference.err;
    reference_clip = read_file(dir.file("ref.y4m"));
  }

  ShellRun sh(const std::string& script, int timeout_seconds = 60) {
    return run_shell(script, dir.path(), timeout_seconds);
  }
  std::string file(const std::string& name) const { return read_file(dir.file(name)); }
  // Names in the folder that the tool left behind as temporary files.
  std::vector<std::string> temporaries() const {
    std::vector<std::string> found;
    for (const std::string& name : dir.entries()) {
      if (name.find(".quietloom-") != std::string::npos) found.push_back(name);
    }
    return found;
  }

  ScratchDir dir;
  std::string input;
  std::string reference_clip;
};

// A failed run: the status, one line on stderr that is ours and holds
// `needle`.
void expect_failure(const ShellRun& run, int status, const std::string& needle, const std::string& what) {
  EXPECT_FALSE(run.timed_out) << what;
  EXPECT_EQ(run.exit_status, status) << what << "\n" << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << what << "\n" << run.err;
  EXPECT_EQ(run.err.rfind("quietloom: ", 0), 0u) << what << "\n" << run.err;
  EXPECT_NE(run.err.find(needle), std::string::npos) << what << ": expected '" << needle << "' in\n" << run.err;
}

TEST_F(ToolAbuse, NoOutputOverlapsTheInputOrAnotherOutput) {
  struct Case {
    const char* script;
    const char* needle;
  } cases[] = {
      {"$Q -q --preview 2:in.y4m in.y4m out.y4m", "in.y4m: is the input file"},
      {"ln in.y4m hard.y4m; $Q -q in.y4m hard.y4m", "hard.y4m: is the input file"},
      {"$Q -q - - 1<>in.y4m <in.y4m", "the input"},
      {"$Q -q in.y4m - >>in.y4m", "the input"},
      {"cp in.y4m copy.y4m; $Q -q - copy.y4m <copy.y4m; s=$?; cmp -s copy.y4m in.y4m || exit 7; exit $s", "copy.y4m: is the input file"},
      {"$Q -q --preview 2:out.y4m in.y4m out.y4m", "out.y4m: is also out.y4m"},
      {"$Q -q --preview 2:sub/../p.png in.y4m - >p.png", "is also -"},
  };
  ASSERT_EQ(sh("mkdir sub").exit_status, 0);
  for (const Case& c : cases) {
    expect_failure(sh(c.script), 1, c.needle, c.script);
    EXPECT_TRUE(file("in.y4m") == input) << c.script;
    EXPECT_FALSE(file_exists(dir.file("out.y4m"))) << c.script;
    EXPECT_EQ(temporaries(), std::vector<std::string>{}) << c.script;
  }
}

TEST_F(ToolAbuse, OutputsAreWrittenInPlaceOrCommittedTogether) {
  // A FIFO is written into, not replaced by a regular file.
  ShellRun fifo = sh("mkfifo f.y4m; cat f.y4m >got.y4m & $Q -q in.y4m f.y4m; s=$?; wait; "
                     "test -p f.y4m || exit 8; exit $s");
  EXPECT_EQ(fifo.exit_status, 0) << fifo.err;
  EXPECT_TRUE(file("got.y4m") == reference_clip);
  // A preview that cannot be written leaves the old output as it was.
  ShellRun preview = sh("echo old >out.y4m; $Q -q --preview 2:nodir/p.png in.y4m out.y4m");
  expect_failure(preview, 1, "nodir/p.png", "preview in a missing folder");
  EXPECT_EQ(file("out.y4m"), "old\n");
  // A replaced file keeps its mode; a link is written through and stays.
  ShellRun kept = sh("echo old >out.y4m; chmod 600 out.y4m; echo old >real.y4m; ln -s real.y4m link.y4m; "
                     "$Q -q in.y4m out.y4m && $Q -q in.y4m link.y4m && stat -c %a out.y4m && "
                     "test -L link.y4m");
  EXPECT_EQ(kept.exit_status, 0) << kept.err;
  EXPECT_EQ(kept.out, "600\n");
  EXPECT_TRUE(file("out.y4m") == reference_clip);
  EXPECT_TRUE(file("real.y4m") == reference_clip);
  EXPECT_EQ(temporaries(), std::vector<std::string>{});
}

TEST_F(ToolAbuse, NamesTheTemporaryFileCannotCarry) {
  // A name that leaves no room for the temporary name's decoration.
  const std::string long_name = std::string(245, 'a') + ".y4m";
  ShellRun run = sh("$Q -q in.y4m " + long_name);
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_TRUE(file(long_name) == reference_clip);
  // A numbered image sequence would be files that cannot be made under
  // temporary names.
  expect_failure(sh("$Q -q in.y4m 'o%03d.png'"), 1, "image sequence", "pattern output");
  EXPECT_EQ(temporaries(), std::vector<std::string>{});
  EXPECT_FALSE(file_exists(dir.file("o001.png")));
}

}  // namespace
