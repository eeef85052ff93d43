#include "tools/plugin_runner/runner_session.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "host/stand_in_host.h"
#include "plugin/filter_settings.h"
#include "tools/plugin_runner/settings_window_driver.h"
#include "tools/plugin_runner/synthetic_clip.h"
#include "tools/plugin_runner/table_check.h"

namespace {

constexpr UINT kKeyDown = 0x0100;
constexpr UINT kKeyUp = 0x0101;
constexpr UINT kMouseWheel = 0x020A;

// Non-default values for every track, each inside its range, so that every
// derived parameter differs from the default run.
struct Setting {
  int index;
  int value;
};
constexpr Setting kAllStagesTracks[] = {
    {kTrackFrame, 3},    {kTrackW3dyl, 14},   {kTrackW3dyh, 8},   {kTrackW2dy, 4},
    {kTrackW3dcl, 12},   {kTrackW3dch, 9},    {kTrackW2dc, 3},    {kTrackCceCl, 7},
    {kTrackGainY, 5},    {kTrackOffsetY, -3}, {kTrackGainCb, 10}, {kTrackGainCr, -8},
    {kTrackHue, 7},      {kTrackGammaCbCr, 12}, {kTrackMosqNr, 14}, {kTrackBlockNr, 12},
};
constexpr Setting kAllStagesChecks[] = {
    {kCheckFieldMode, 1}, {kCheckAnime, 1}, {kCheckCrossColour, 1},
    {kCheckMosquitoNr, 1}, {kCheckBlockNr, 1},
};

// Changes the settings one at a time, each followed by the update call the
// editor makes for that slider or check box.
void apply_all_stages(StandInHost& host, CheckList& checks) {
  for (const Setting& s : kAllStagesTracks) {
    host.set_track(s.index, s.value);
    checks.expect(host.update(kUpdateTrackBase + s.index) == 1,
                  "func_update for track " + std::to_string(s.index) + " did not return 1");
  }
  for (const Setting& s : kAllStagesChecks) {
    host.set_check(s.index, s.value);
    checks.expect(host.update(kUpdateCheckBase + s.index) == 1,
                  "func_update for check " + std::to_string(s.index) + " did not return 1");
  }
}

class Session {
 public:
  Session(FILTER_DLL* table, const SessionSettings& settings, SessionResult& result)
      : settings_(settings),
        result_(result),
        checks_(result.checks),
        clip_(settings.width, settings.height, settings.frames),
        host_(table, HostOptions{settings.threads, 0, 0}),
        frame_pixels_(static_cast<size_t>(settings.width) * settings.height) {}

  void run() {
    checks_.expect(host_.init() == 1, "func_init did not return 1");
    if (settings_.all_stages)
      apply_all_stages(host_, checks_);
    else
      checks_.expect(host_.update(kUpdateAll) == 1, "func_update(0) did not return 1");
    radius_ = host_.track(kTrackFrame);

    result_.frames.assign(frame_pixels_ * settings_.frames, PIXEL_YC{0, 0, 0});
    for (int n = 0; n < settings_.frames; ++n) {
      PIXEL_YC* out = result_.frames.data() + frame_pixels_ * n;
      checks_.expect(host_.process(clip_, n, out, settings_.width) == 1,
                     "func_proc of frame " + std::to_string(n) + " did not return 1");
      checks_.expect(host_.last_proc_info().w == settings_.width &&
                         host_.last_proc_info().h == settings_.height,
                     "func_proc of frame " + std::to_string(n) + " left w or h changed");
    }

    // Frame middle_ and its whole temporal window lie inside the clip, so the
    // slot cache alone decides what the module fetches for it.
    middle_ = settings_.frames / 2;
    slot_checks_ = middle_ - radius_ >= 0 && middle_ + radius_ < settings_.frames;
    if (!slot_checks_)
      checks_.note("clip too short for the slot-cache checks (needs " +
                   std::to_string(2 * radius_ + 1) + " frames)");
    check_save_start();
    check_settings_window();
    checks_.expect(host_.exit() == 1, "func_exit did not return 1");
  }

 private:
  // Renders the middle frame again and compares it with its in-order result:
  // preparing a window frame afresh or taking it from a slot must not change
  // the output. Returns how many window frames were prepared.
  int render_middle_again(const std::string& when) {
    host_.reset_counters();
    std::vector<PIXEL_YC> again(frame_pixels_);
    checks_.expect(host_.process(clip_, middle_, again.data(), settings_.width) == 1,
                   "func_proc " + when + " did not return 1");
    const PIXEL_YC* first = result_.frames.data() + frame_pixels_ * middle_;
    checks_.expect(std::memcmp(again.data(), first, sizeof(PIXEL_YC) * frame_pixels_) == 0,
                   "frame " + std::to_string(middle_) + " rendered " + when +
                       " differs from its first rendering");
    return host_.counters().set_cache_size_calls;
  }

  void expect_prepared(int prepared, bool all, const std::string& when) {
    if (!slot_checks_) return;
    const int window = 2 * radius_ + 1;
    if (all)
      checks_.expect(prepared == window, "after " + when + ", " + std::to_string(prepared) +
                                             " window frames were prepared instead of all " +
                                             std::to_string(window));
    else
      checks_.expect(prepared == 0 && host_.counters().fetched.empty(),
                     "after " + when + ", frames were fetched although the slots held them");
  }

  void check_save_start() {
    render_middle_again("to fill the slots");
    expect_prepared(render_middle_again("from its slots"), false, "a repeated frame");
    checks_.expect(host_.save_start() == 1, "func_save_start did not return 1");
    expect_prepared(render_middle_again("after func_save_start"), true, "func_save_start");
  }

  void check_settings_window() {
    auto window = make_settings_window_driver(host_, settings_.real_windows,
                                              result_.window_note);
    result_.window_description = window->description();
    const HWND hwnd = window->settings_window();

    checks_.expect(host_.window_message(hwnd, WM_FILTER_INIT, 0, 0) == 0,
                   "message 1127 did not return 0");
    window->check_button(host_.filter(), checks_);

    struct Input {
      UINT message;
      WPARAM wparam;
      LPARAM lparam;
    };
    // A key 'A' pressed and released, and a wheel notch, with the lparam bits
    // a real keyboard and mouse set.
    const Input inputs[] = {{kKeyDown, 0x41, 0x001E0001},
                            {kKeyUp, 0x41, static_cast<LPARAM>(0xC01E0001u)},
                            {kMouseWheel, 0x00780000, 0x00640064}};
    for (const Input& in : inputs) {
      checks_.expect(host_.window_message(hwnd, in.message, in.wparam, in.lparam) == 0,
                     "message " + std::to_string(in.message) + " did not return 0");
      window->check_forwarded(in.message, in.wparam, in.lparam, checks_);
    }

    // A click while the filter is off keeps the slots; while on, empties them.
    for (const bool active : {false, true}) {
      const std::string state = active ? "on" : "off";
      host_.set_filter_active(active);
      host_.reset_counters();
      const BOOL clicked = window->click(host_, checks_);
      checks_.expect(clicked == (active ? 1 : 0),
                     "a click with the filter " + state + " returned " + std::to_string(clicked));
      checks_.expect(host_.counters().filter_window_update_calls == 1,
                     "a click with the filter " + state + " did not redraw the window once");
      expect_prepared(render_middle_again("after a click with the filter " + state), active,
                      "a click with the filter " + state);
    }
    host_.set_filter_active(true);

    checks_.expect(host_.window_message(hwnd, WM_FILTER_EXIT, 0, 0) == 0,
                   "message 1128 did not return 0");
    window->check_font_deleted(checks_);
  }

  const SessionSettings& settings_;
  SessionResult& result_;
  CheckList& checks_;
  SyntheticClip clip_;
  StandInHost host_;
  size_t frame_pixels_;
  int radius_ = 0;
  int middle_ = 0;
  bool slot_checks_ = false;
};

}  // namespace

SessionResult run_session(FILTER_DLL* table, const SessionSettings& settings) {
  SessionResult result;
  if (!check_filter_table(table, result.checks)) return result;
  Session session(table, settings, result);
  session.run();
  return result;
}
