// tools/farm.sh on this machine: GNU parallel with two job slots, one job
// killed on its first attempt and retried, and with the transfers that hosts
// without a shared folder need (through a stand-in for ssh, since no ssh
// server runs here). The joined clip must be byte for byte the whole run's.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "tool_harness.h"

namespace {

const std::string kFarm = std::string(QUIETLOOM_SOURCE_DIR) + "/tools/farm.sh";
const std::string kStandInSsh = std::string(QUIETLOOM_SOURCE_DIR) + "/tests/support/stand_in_ssh.sh";

// The job log's rows as (job number, exit value, bytes received) triples.
struct Attempt {
  int job = 0;
  int exit_value = 0;
  long received = 0;
};
std::vector<Attempt> attempts(const std::string& log) {
  std::vector<Attempt> rows;
  std::istringstream in(log);
  std::string line;
  std::getline(in, line);  // the column names
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string seq, host, start, runtime, send, receive, exit_value;
    std::getline(fields, seq, '\t');
    std::getline(fields, host, '\t');
    std::getline(fields, start, '\t');
    std::getline(fields, runtime, '\t');
    std::getline(fields, send, '\t');
    std::getline(fields, receive, '\t');
    std::getline(fields, exit_value, '\t');
    rows.push_back({std::stoi(seq), std::stoi(exit_value), std::stol(receive)});
  }
  return rows;
}

class Farm : public testing::Test {
 protected:
  void SetUp() override {
    if (!module_table_present()) GTEST_SKIP() << "the module's plug-in table is not in this build";
    if (run_shell("command -v parallel && command -v rsync", dir_.path()).exit_status != 0) {
      GTEST_SKIP() << "GNU parallel or rsync is not installed (tools/install_deps.sh installs them)";
    }
    const VideoFormat format = test_format(48, 32, ChromaFormat::k420, 8);
    write_y4m(dir_.file("in.y4m"), format, make_scene_clip(format, 2, 10, 9));
    ToolRun whole = run_tool({"-q", "--threads", "1", dir_.file("in.y4m"), dir_.file("whole.y4m")});
    ASSERT_EQ(whole.exit_status, 0) << whole.err;
  }
  ScratchDir dir_;
};

TEST_F(Farm, TwoSlotsWithAKilledJobRetried) {
  // Every attempt is noted; the first attempt of job 1 is killed with
  // SIGKILL as soon as it has made its temporary output, so that no
  // clean-up of its own runs. GNU parallel's job log keeps only the last
  // attempt of each job.
  write_file(dir_.file("killer.sh"),
             "#!/bin/sh\n"
             "echo attempt >> \"$FARM_DIR/attempts\"\n"
             "case \" $* \" in *\"/part-1.y4m \"*)\n"
             "  if mkdir \"$FARM_DIR/killed\" 2>/dev/null; then\n"
             "    \"$Q\" \"$@\" & pid=$!\n"
             "    i=0\n"
             "    while [ $i -lt 1000 ] && kill -0 $pid 2>/dev/null && ! ls \"$FARM_DIR\"/work/.part-1.quietloom-* >/dev/null 2>&1; do\n"
             "      sleep 0.01; i=$((i + 1)); done\n"
             "    kill -KILL $pid && echo killed >> \"$FARM_DIR/attempts\"; wait $pid; exit 137\n"
             "  fi;;\n"
             "esac\n"
             "exec \"$Q\" \"$@\"\n");
  ShellRun run = run_shell("chmod +x killer.sh && FARM_DIR=$PWD QUIETLOOM=$Q QUIETLOOM_REMOTE=$PWD/killer.sh '" + kFarm +
                               "' -j 2 --parts 4 --retries 2 --work work --joblog jobs.log in.y4m out.y4m -- --threads 1",
                           dir_.path(), 300);
  ASSERT_EQ(run.exit_status, 0) << run.err;
  EXPECT_TRUE(read_file(dir_.file("out.y4m")) == read_file(dir_.file("whole.y4m"))) << "the joined clip differs from the whole run";
  // Four jobs, one of them twice.
  const std::string attempts_made = read_file(dir_.file("attempts"));
  EXPECT_EQ(std::count(attempts_made.begin(), attempts_made.end(), '\n'), 6) << attempts_made;
  EXPECT_NE(attempts_made.find("killed"), std::string::npos) << "the attempt ended before it was killed";
  const std::vector<Attempt> rows = attempts(read_file(dir_.file("jobs.log")));
  ASSERT_EQ(rows.size(), 4u);
  for (const Attempt& a : rows) EXPECT_EQ(a.exit_value, 0) << "job " << a.job;
  // Without --keep only the job log is left of the work.
  EXPECT_FALSE(file_exists(dir_.file("work")));
}

TEST_F(Farm, HostsWithoutASharedFolderGetTheirFilesSent) {
  ShellRun run = run_shell("mkdir hosts && STAND_IN_HOSTS=$PWD/hosts PARALLEL_SSH='" + kStandInSsh +
                               "' QUIETLOOM=$Q QUIETLOOM_REMOTE=$Q '" + kFarm +
                               "' -S 1/render1,1/render2 --transfer --parts 3 --joblog jobs.log in.y4m out.y4m"
                               " && find hosts -type f | wc -l",
                           dir_.path(), 300);
  ASSERT_EQ(run.exit_status, 0) << run.err;
  EXPECT_TRUE(read_file(dir_.file("out.y4m")) == read_file(dir_.file("whole.y4m"))) << "the joined clip differs from the whole run";
  const std::vector<Attempt> rows = attempts(read_file(dir_.file("jobs.log")));
  ASSERT_EQ(rows.size(), 3u);
  for (const Attempt& a : rows) {
    EXPECT_EQ(a.exit_value, 0) << "job " << a.job;
    EXPECT_GT(a.received, 0) << "job " << a.job << " sent no part back";
  }
  // The hosts' copies are cleaned up after each job.
  EXPECT_EQ(run.out, "0\n");
  // This machine is not reached over ssh, so nothing would be sent to it.
  ShellRun local = run_shell("QUIETLOOM=$Q '" + kFarm + "' -S : --transfer in.y4m out2.y4m", dir_.path());
  EXPECT_EQ(local.exit_status, 1);
  EXPECT_NE(local.err.find("name this machine"), std::string::npos) << local.err;
}

}  // namespace
