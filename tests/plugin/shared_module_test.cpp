// The module as the editor gets it: the shared library built from the same
// sources, loaded by path, reached only through its export GetFilterTable and
// driven through the stand-in host from init to exit. Its table and its
// frames must equal those of the module linked into this program, bit for
// bit, and its window-system calls must reach this program's stand-ins.
// Also the plug-in runner's own parts that such a comparison relies on: the
// table check, the generated clip, the output bytes and the command line.
#include <gtest/gtest.h>

#if defined(QUIETLOOM_SHARED_MODULE_PATH) && !defined(_WIN32)
#include <algorithm>
#include <cstring>
#include <functional>
#include <string>

#include "tools/plugin_runner/module_loader.h"
#include "tools/plugin_runner/runner_options.h"
#include "tools/plugin_runner/runner_session.h"
#include "tools/plugin_runner/synthetic_clip.h"
#include "tools/plugin_runner/table_check.h"
#include "tools/plugin_runner/yc48_writer.h"

namespace {

// Small, with both sides off the 16-pixel grid, and long enough for the
// seven-frame window of the all-stages settings.
SessionSettings small_clip(bool all_stages) {
  SessionSettings s;
  s.width = 84;
  s.height = 46;
  s.frames = 9;
  s.threads = 2;
  s.all_stages = all_stages;
  return s;
}

std::string failures_of(const SessionResult& r) {
  std::string text;
  for (const std::string& f : r.checks.failures()) text += "\n  " + f;
  return text;
}

class SharedModule : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(module_.open(QUIETLOOM_SHARED_MODULE_PATH, error)) << error;
    // The library's table, not this program's: otherwise nothing here would
    // test the library.
    ASSERT_NE(module_.filter_table(), GetFilterTable());
  }

  LoadedModule module_;
};

bool same_strings(const char* a, const char* b) {
  return a != nullptr && b != nullptr && std::strcmp(a, b) == 0;
}

TEST_F(SharedModule, DeclaresTheSameTableAsTheLinkedModule) {
  const FILTER_DLL& shared = *module_.filter_table();
  const FILTER_DLL& linked = *GetFilterTable();
  CheckList checks;
  EXPECT_TRUE(check_filter_table(&shared, checks)) << checks.failures().front();

  EXPECT_EQ(shared.flag, linked.flag);
  EXPECT_TRUE(same_strings(shared.name, linked.name));
  EXPECT_TRUE(same_strings(shared.information, linked.information));
  ASSERT_EQ(shared.track_n, linked.track_n);
  ASSERT_EQ(shared.check_n, linked.check_n);
  for (int i = 0; i < shared.track_n; ++i) {
    EXPECT_TRUE(same_strings(shared.track_name[i], linked.track_name[i])) << "track " << i;
    EXPECT_EQ(shared.track_default[i], linked.track_default[i]) << "track " << i;
    EXPECT_EQ(shared.track_s[i], linked.track_s[i]) << "track " << i;
    EXPECT_EQ(shared.track_e[i], linked.track_e[i]) << "track " << i;
  }
  for (int i = 0; i < shared.check_n; ++i) {
    EXPECT_TRUE(same_strings(shared.check_name[i], linked.check_name[i])) << "check " << i;
    EXPECT_EQ(shared.check_default[i], linked.check_default[i]) << "check " << i;
  }
  // The callbacks are the library's own code.
  EXPECT_NE(reinterpret_cast<void*>(shared.func_proc), reinterpret_cast<void*>(linked.func_proc));
}

TEST_F(SharedModule, DrivenLikeTheEditorGivesTheLinkedModulesFramesBitForBit) {
  for (const bool all_stages : {false, true}) {
    SCOPED_TRACE(all_stages ? "all stages" : "default settings");
    const SessionSettings settings = small_clip(all_stages);
    // The session checks every callback's result, the slot cache around
    // save_start and the clicks, and the window calls in the stand-ins' log.
    const SessionResult shared = run_session(module_.filter_table(), settings);
    EXPECT_TRUE(shared.checks.passed()) << failures_of(shared);
    const SessionResult linked = run_session(GetFilterTable(), settings);
    EXPECT_TRUE(linked.checks.passed()) << failures_of(linked);
    EXPECT_EQ(shared.window_description, "window-system stand-ins");

    const size_t pixels = static_cast<size_t>(settings.width) * settings.height;
    ASSERT_EQ(shared.frames.size(), pixels * settings.frames);
    ASSERT_EQ(linked.frames.size(), shared.frames.size());
    for (int n = 0; n < settings.frames; ++n)
      EXPECT_EQ(std::memcmp(shared.frames.data() + pixels * n, linked.frames.data() + pixels * n,
                            sizeof(PIXEL_YC) * pixels),
                0)
          << "frame " << n;

    // The frames were filtered, not passed through or blanked.
    std::vector<PIXEL_YC> source(pixels);
    SyntheticClip clip(settings.width, settings.height, settings.frames);
    ASSERT_TRUE(clip.read_frame(settings.frames / 2, source.data(), settings.width));
    const PIXEL_YC* middle = shared.frames.data() + pixels * (settings.frames / 2);
    EXPECT_NE(std::memcmp(middle, source.data(), sizeof(PIXEL_YC) * pixels), 0);
    EXPECT_TRUE(std::any_of(middle, middle + pixels, [](const PIXEL_YC& p) { return p.y > 0; }));
  }
}

// The checker must reject the faults a broken table could have, one by one.
TEST(PluginTableCheck, RejectsEachKindOfFaultInACopyOfTheTable) {
  const FILTER_DLL good = *GetFilterTable();
  CheckList accepted;
  EXPECT_TRUE(check_filter_table(&good, accepted));

  int32_t defaults[16];
  std::copy_n(good.track_default, 16, defaults);
  defaults[15] = good.track_e[15] + 1;
  struct Fault {
    const char* what;
    std::function<void(FILTER_DLL&)> spoil;
  };
  const Fault faults[] = {
      {"flag", [](FILTER_DLL& t) { t.flag = 0; }},
      {"name", [](FILTER_DLL& t) { t.name = "Quietloon"; }},
      {"track count", [](FILTER_DLL& t) { t.track_n = 15; }},
      {"check count", [](FILTER_DLL& t) { t.check_n = 4; }},
      {"window callback", [](FILTER_DLL& t) { t.func_WndProc = nullptr; }},
      {"save callback", [](FILTER_DLL& t) { t.func_save_start = nullptr; }},
      {"unused callback", [](FILTER_DLL& t) { t.func_save_end = t.func_save_start; }},
      {"host field", [](FILTER_DLL& t) { t.ex_data_size = 4; }},
      {"default range", [&](FILTER_DLL& t) { t.track_default = defaults; }},
  };
  for (const Fault& fault : faults) {
    FILTER_DLL table = good;
    fault.spoil(table);
    CheckList checks;
    EXPECT_FALSE(check_filter_table(&table, checks)) << fault.what;
    EXPECT_FALSE(checks.passed()) << fault.what;
  }
}

TEST(SyntheticClip, EveryFrameIsTheSameInAnyReadingOrderAndInRange) {
  const int w = 37, h = 21, frames = 4, stride = 40;
  SyntheticClip clip(w, h, frames);
  std::vector<std::vector<PIXEL_YC>> forward(frames, std::vector<PIXEL_YC>(stride * h));
  std::vector<std::vector<PIXEL_YC>> backward = forward;
  for (int n = 0; n < frames; ++n) ASSERT_TRUE(clip.read_frame(n, forward[n].data(), stride));
  for (int n = frames - 1; n >= 0; --n)
    ASSERT_TRUE(clip.read_frame(n, backward[n].data(), stride));
  for (int n = 0; n < frames; ++n) {
    EXPECT_EQ(std::memcmp(forward[n].data(), backward[n].data(), sizeof(PIXEL_YC) * stride * h), 0)
        << "frame " << n;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const PIXEL_YC p = forward[n][y * stride + x];
        ASSERT_TRUE(p.y >= 0 && p.y <= 4096 && p.cb >= -2048 && p.cb <= 2048 &&
                    p.cr >= -2048 && p.cr <= 2048)
            << n << " " << x << "," << y;
      }
    if (n > 0) {
      EXPECT_NE(std::memcmp(forward[n].data(), forward[n - 1].data(),
                            sizeof(PIXEL_YC) * stride * h),
                0)
          << "frame " << n << " does not move";
    }
  }
  std::vector<PIXEL_YC> frame(stride * h);
  EXPECT_FALSE(clip.read_frame(frames, frame.data(), stride));
  EXPECT_FALSE(clip.read_frame(0, frame.data(), w - 1));
}

TEST(Yc48Output, WritesYCbCrAsLittleEndianSixteenBitValues) {
  const std::vector<PIXEL_YC> pixels = {{0x1234, -2, 0x7F00}, {4096, -2048, 0}};
  const std::vector<uint8_t> expected = {0x34, 0x12, 0xFE, 0xFF, 0x00, 0x7F,
                                         0x00, 0x10, 0x00, 0xF8, 0x00, 0x00};
  EXPECT_EQ(yc48_bytes(pixels), expected);
}

TEST(RunnerOptions, ReadsEveryOptionAndRejectsMalformedLines) {
  auto parse = [](std::vector<std::string> words, RunnerOptions& options) {
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    std::string error;
    return parse_runner_options(static_cast<int>(argv.size()), argv.data(), options, error);
  };
  RunnerOptions o;
  ASSERT_TRUE(parse({"runner", "m.so", "--size", "64x48", "--threads", "3", "--frames", "7",
                     "--all-stages", "--x87-extended", "--button-test", "out.yc48"},
                    o));
  EXPECT_EQ(o.module_path, "m.so");
  EXPECT_EQ(o.output_path, "out.yc48");
  EXPECT_EQ(o.width, 64);
  EXPECT_EQ(o.height, 48);
  EXPECT_EQ(o.threads, 3);
  EXPECT_EQ(o.frames, 7);
  EXPECT_TRUE(o.all_stages && o.x87_extended && o.button_test);

  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"runner", "m.so"},
        {"runner", "m.so", "o", "extra"},
        {"runner", "m.so", "o", "--size", "64"},
        {"runner", "m.so", "o", "--size", "64x0"},
        {"runner", "m.so", "o", "--threads", "0"},
        {"runner", "m.so", "o", "--frames"},
        {"runner", "m.so", "o", "--fast"}}) {
    RunnerOptions ignored;
    EXPECT_FALSE(parse(bad, ignored)) << bad.back();
  }
}

}  // namespace

#else

TEST(SharedModule, NeedsTheLibraryPath) {
  GTEST_SKIP() << "built without QUIETLOOM_SHARED_MODULE_PATH (tests/plugin/shared_module.cmake)";
}

#endif
