// The module as the editor gets it: the shared library built from the same
// sources, loaded by path, reached only through its export GetFilterTable and
// driven through the stand-in host from init to exit. Its table and its
// frames must equal those of the module linked into this program, bit for
// bit, and its window-system calls must reach this program's stand-ins.
#include <gtest/gtest.h>

#if defined(QUIETLOOM_SHARED_MODULE_PATH) && !defined(_WIN32)
#include <algorithm>
#include <cstring>
#include <string>

#include "tools/plugin_runner/module_loader.h"
#include "tools/plugin_runner/runner_session.h"
#include "tools/plugin_runner/synthetic_clip.h"
#include "tools/plugin_runner/table_check.h"

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

}  // namespace

#else

TEST(SharedModule, NeedsTheLibraryPath) {
  GTEST_SKIP() << "built without QUIETLOOM_SHARED_MODULE_PATH (tests/plugin/shared_module.cmake)";
}

#endif
