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
  ShellRun encoded = sh("mkfifo f.mkv; cat f.mkv >got.mkv & $Q -q --encoder-args '-c:v ffv1' in.y4m f.mkv; "
                        "s=$?; wait; test -p f.mkv || exit 8; $Q -q got.mkv got-back.y4m || exit 9; exit $s", 30);
  EXPECT_EQ(encoded.exit_status, 0) << encoded.err;
  // A device is written into, and a failed write says why.
  if (file_exists("/dev/full")) {
    expect_failure(sh("ln -s /dev/full full.y4m; $Q -q in.y4m full.y4m"), 1,
                   "full.y4m: write failed: No space left on device", "video to /dev/full");
    expect_failure(sh("ln -s /dev/full full.png; $Q -q --preview 2:full.png in.y4m out.y4m"), 1,
                   "full.png: writing the PNG failed: write failed: No space left on device", "PNG to /dev/full");
    EXPECT_EQ(sh("test -c /dev/full && test -L full.y4m").exit_status, 0);
    EXPECT_FALSE(file_exists(dir.file("out.y4m")));
  }
  // A preview that cannot be written leaves the old output as it was.
  ShellRun preview = sh("echo old >out.y4m; $Q -q --preview 2:nodir/p.png in.y4m out.y4m");
  expect_failure(preview, 1, "nodir/p.png", "preview in a missing folder");
  EXPECT_EQ(file("out.y4m"), "old\n");
  // A replaced file keeps its mode; a link is written through and stays.
  ShellRun kept = sh("echo old >out.y4m; chmod 600 out.y4m; echo old >real.y4m; ln -s real.y4m link.y4m; "
                     "$Q -q in.y4m out.y4m && $Q -q in.y4m link.y4m && stat -c %a out.y4m && "
                     "test -L link.y4m && ln -s new.y4m dangling.y4m && $Q -q in.y4m dangling.y4m && "
                     "test -L dangling.y4m");
  EXPECT_EQ(kept.exit_status, 0) << kept.err;
  EXPECT_EQ(kept.out, "600\n");
  EXPECT_TRUE(file("out.y4m") == reference_clip);
  EXPECT_TRUE(file("real.y4m") == reference_clip);
  EXPECT_TRUE(file("new.y4m") == reference_clip);
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

// The fixture's clip as a lossless Matroska file, for runs through ffmpeg.
#define MAKE_MKV()                                                                       \
  ASSERT_EQ(sh("ffmpeg -loglevel error -f yuv4mpegpipe -i in.y4m -c:v ffv1 in.mkv").exit_status, 0)

size_t frames_in(const std::string& y4m) {
  size_t count = 0;
  for (size_t at = y4m.find("FRAME"); at != std::string::npos; at = y4m.find("FRAME", at + 5)) ++count;
  return count;
}

TEST_F(ToolAbuse, NoRunHangs) {
  MAKE_MKV();
  // ffmpeg on both sides, and the run stops before the end of the clip.
  ShellRun both = sh("$Q -q --range 1:3 in.mkv out.mkv", 30);
  EXPECT_FALSE(both.timed_out);
  EXPECT_EQ(both.exit_status, 0) << both.err;
  EXPECT_EQ(both.err, "") << "the decoder stopped early must not complain of a broken pipe";
  // A FIFO is opened once.
  ShellRun fifo = sh("mkfifo p.y4m; cat in.y4m >p.y4m & $Q -q p.y4m fifo.y4m; s=$?; wait; exit $s", 30);
  EXPECT_EQ(fifo.exit_status, 0) << fifo.err;
  EXPECT_TRUE(file("fifo.y4m") == reference_clip);
  // No pipe to a child can land on a closed standard output.
  ShellRun closed = sh("$Q -q in.y4m closed.mkv >&-", 30);
  EXPECT_FALSE(closed.timed_out);
  EXPECT_EQ(closed.exit_status, 0) << closed.err;
  // A range read from a pipe ends without waiting for the frames after it
  // (that it needs: automatic settings measure a scene's first frames).
  ShellRun range = sh("{ cat in.y4m; sleep 20 & echo $! >sleeper; wait; } | "
                      "{ $Q -q --preset none --range 0:2 - range.y4m; echo $? >status; sleep 0.3; kill $(cat sleeper); }",
                      10);
  EXPECT_FALSE(range.timed_out);
  EXPECT_EQ(file("status"), "0\n");
}

TEST_F(ToolAbuse, InputsThatCanBeReadOnlyOnce) {
  MAKE_MKV();
  ASSERT_EQ(sh("$Q -q in.mkv ref-mkv.y4m").exit_status, 0);
  struct Case {
    const char* script;
    const char* expected;
  } cases[] = {
      {"cat in.y4m | $Q -q /dev/stdin out.y4m", "ref.y4m"},
      {"bash -c '$Q -q <(cat in.y4m) out.y4m'", "ref.y4m"},
      {"mkfifo f.mkv; cat in.mkv >f.mkv & $Q -q f.mkv out.y4m; s=$?; wait; exit $s", "ref-mkv.y4m"},
      {"cat in.mkv | $Q -q /dev/stdin out.y4m", "ref-mkv.y4m"},
  };
  for (const Case& c : cases) {
    std::remove(dir.file("out.y4m").c_str());
    std::remove(dir.file("f.mkv").c_str());
    ShellRun run = sh(c.script, 30);
    EXPECT_EQ(run.exit_status, 0) << c.script << "\n" << run.err;
    EXPECT_TRUE(file("out.y4m") == file(c.expected)) << c.script;
  }
}

TEST_F(ToolAbuse, FfmpegTroubleIsOneLineOfOurs) {
  MAKE_MKV();
  ShellRun codec = sh("$Q -q --encoder-args '-c:v nosuchcodec' in.y4m out.mkv");
  expect_failure(codec, 1, "out.mkv: ffmpeg failed", "unknown encoder");
  EXPECT_NE(codec.err.find("nosuchcodec"), std::string::npos) << codec.err;
  EXPECT_EQ(codec.err.find("Broken pipe"), std::string::npos) << codec.err;
  // A truncated file that ffmpeg reads as far as it can is still an error.
  ShellRun cut = sh("head -c $(( $(wc -c <in.mkv) * 2 / 3 )) in.mkv >cut.mkv; $Q -q cut.mkv out.y4m");
  expect_failure(cut, 1, "cut.mkv: ffmpeg", "truncated input");
  EXPECT_FALSE(file_exists(dir.file("out.y4m")));
  // An encoder that stops early on request has done what was asked.
  ShellRun early = sh("$Q -q --encoder-args '-c:v ffv1 -frames:v 3' in.y4m three.mkv && $Q -q three.mkv three.y4m");
  EXPECT_EQ(early.exit_status, 0) << early.err;
  EXPECT_EQ(early.err, "");
  EXPECT_EQ(frames_in(file("three.y4m")), 3u);
  // Bytes that would act on a terminal are shown, not sent.
  ShellRun escape = sh("printf 'YUV4MPEG2 W64 H48 F25:1 C\\033[2J\\r\\n' >esc.y4m; $Q -q esc.y4m out.y4m");
  expect_failure(escape, 1, "\\x1b[2J\\x0d", "control bytes in a header");
  EXPECT_EQ(escape.err.find('\033'), std::string::npos);
  EXPECT_EQ(temporaries(), std::vector<std::string>{});
}

TEST_F(ToolAbuse, FfmpegCarriesWhatItsY4mPipeCannot) {
  // Odd widths above 8 bits, 4:2:0 and 4:2:2, and the colour tags.
  for (const char* layout : {"yuv420p10le", "yuv422p12le"}) {
    const std::string make = std::string("ffmpeg -loglevel error -f lavfi -i testsrc=size=65x49:rate=25 ") +
                             "-frames:v 4 -pix_fmt " + layout + " -c:v ffv1 odd.mkv -y";
    ShellRun odd = sh(make + " && $Q -q odd.mkv odd.y4m");
    EXPECT_EQ(odd.exit_status, 0) << layout << "\n" << odd.err;
    EXPECT_EQ(frames_in(file("odd.y4m")), 4u) << layout;
  }
  ShellRun tags = sh("ffmpeg -loglevel error -f yuv4mpegpipe -i in.y4m -colorspace bt709 -color_primaries bt709 "
                     "-color_trc bt709 -c:v ffv1 tagged.mkv && $Q -q tagged.mkv out.mkv && "
                     "ffprobe -v error -show_entries stream=color_space,color_primaries,color_transfer "
                     "-of default=nw=1 out.mkv");
  EXPECT_EQ(tags.exit_status, 0) << tags.err;
  EXPECT_EQ(tags.out, "color_space=bt709\ncolor_transfer=bt709\ncolor_primaries=bt709\n");
}

TEST_F(ToolAbuse, SignalsLeaveNothingBehindAndIgnoredOnesStayIgnored) {
  // The clip arrives slowly, so that the signal comes while it is written.
  const std::string slow = "{ head -c 20000 in.y4m; sleep 1; tail -c +20001 in.y4m; } | ";
  ShellRun nohup = sh("trap '' HUP; " + slow + "$Q -q - hup.y4m & p=$!; sleep 0.5; kill -HUP $p; wait $p");
  EXPECT_EQ(nohup.exit_status, 0) << nohup.err;
  EXPECT_TRUE(file("hup.y4m") == reference_clip);
  for (const char* sig : {"USR1", "ALRM", "TERM"}) {
    for (const char* output : {"out.y4m", "out.mkv"}) {
      ShellRun run = sh(slow + "$Q -q - " + output + " & p=$!; sleep 0.5; kill -" + sig + " $p; wait $p; s=$?; sleep 0.3; exit $s");
      EXPECT_GT(run.exit_status, 128) << sig << " " << output << "\n" << run.err;
      EXPECT_EQ(temporaries(), std::vector<std::string>{}) << sig << " " << output;
      EXPECT_FALSE(file_exists(dir.file(output))) << sig << " " << output;
    }
  }
  // The file size limit is a failed write like any other.
  ShellRun limit = sh("ulimit -f 20; $Q -q in.y4m big.y4m");
  expect_failure(limit, 1, "big.y4m: write failed: File too large", "file size limit");
  EXPECT_EQ(temporaries(), std::vector<std::string>{});
  // With standard error closed, nothing meant for it lands in the video.
  ShellRun quiet = sh("$Q --progress in.y4m closed.y4m 2>&-");
  EXPECT_EQ(quiet.exit_status, 0);
  EXPECT_TRUE(file("closed.y4m") == reference_clip);
}

TEST_F(ToolAbuse, ValuesAreCheckedAndWhatIsWrittenReadsBack) {
  // A rate at the largest the header holds is written and read back.
  ShellRun rate = sh("$Q -q in.y4m in.yc48 && $Q -q --size 64x48 --fps 999999999:1 in.yc48 fast.y4m && "
                     "$Q -q fast.y4m back.y4m");
  EXPECT_EQ(rate.exit_status, 0) << rate.err;
  expect_failure(sh("$Q -q --size 64x48 in.y4m out.y4m"), 2, "--size: applies to raw .yc48 input only",
                 "--size for a y4m clip");
  // Frame numbers past the host's are refused, not overflowed.
  expect_failure(sh("$Q -q --range 9223372036854775806:9223372036854775807 in.y4m out.y4m"), 1,
                 "none in the requested range", "huge range");
  // 10-bit samples above 1023 are clamped with a warning, once.
  const VideoFormat deep = test_format(64, 48, ChromaFormat::k420, 10);
  write_y4m(dir.file("deep.y4m"), deep, make_clip(deep, 4, 7));
  std::string clip = file("deep.y4m");
  for (size_t at = clip.find("FRAME\n"); at != std::string::npos; at = clip.find("FRAME\n", at + 6)) {
    clip[at + 6] = char(0xFF);
    clip[at + 7] = char(0xFF);
  }
  write_file(dir.file("deep.y4m"), clip);
  ShellRun warned = sh("$Q -q deep.y4m deep-out.y4m");
  EXPECT_EQ(warned.exit_status, 0) << warned.err;
  EXPECT_EQ(std::count(warned.err.begin(), warned.err.end(), '\n'), 1) << warned.err;
  EXPECT_NE(warned.err.find("warning: deep.y4m: 4 frame(s) hold samples above 1023"), std::string::npos)
      << warned.err;
  // Frame-by-frame interlacing is refused rather than written wrongly.
  write_file(dir.file("mixed.y4m"), "YUV4MPEG2 W64 H48 F25:1 Im C420jpeg\n" + input.substr(input.find("FRAME")));
  expect_failure(sh("$Q -q mixed.y4m out.y4m"), 1, "mixed.y4m: interlacing Im", "Im clip");
  // Every frame of a variable-rate clip passes through ffmpeg once.
  ShellRun vfr = sh("ffmpeg -loglevel error -f yuv4mpegpipe -i in.y4m "
                    "-vf \"setpts='if(lt(N,4),N,N*3)/25/TB'\" -fps_mode passthrough -c:v ffv1 vfr.mkv && "
                    "$Q -q vfr.mkv vfr.y4m");
  EXPECT_EQ(vfr.exit_status, 0) << vfr.err;
  EXPECT_EQ(frames_in(file("vfr.y4m")), 8u);
}

}  // namespace
