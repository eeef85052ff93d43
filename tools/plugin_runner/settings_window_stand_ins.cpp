// The settings window on systems without a window system: the module's calls
// land in the host's stand-ins, whose log shows exactly what was asked.
#if !defined(_WIN32)
#include <cstdint>
#include <string>

#include "host/win32_stand_ins.h"
#include "tools/plugin_runner/button_face.h"
#include "tools/plugin_runner/settings_window_driver.h"

namespace {

constexpr UINT kSetFont = 0x0030;
constexpr UINT kCommand = 0x0111;
constexpr UINT kGetOwner = 4;
constexpr uintptr_t kCacheResetId = 40001;

class StandInSettingsWindow : public SettingsWindowDriver {
 public:
  explicit StandInSettingsWindow(StandInHost& host) : window_(host.filter()->hwnd) {
    reset_win32_stand_ins();
  }

  std::string description() const override { return "window-system stand-ins"; }
  HWND settings_window() const override { return window_; }

  void check_button(FILTER* fp, CheckList& checks) override {
    const auto windows = win32_calls_of<CreateWindowCall>();
    const auto fonts = win32_calls_of<CreateFontCall>();
    if (!checks.expect(windows.size() == 1, "1127 did not create exactly one window") ||
        !checks.expect(fonts.size() == 1, "1127 did not create exactly one font"))
      return;
    const CreateWindowCall& b = windows.front();
    checks.expect(b.ex_style == 0 && b.style == 0x50000000u, "button styles are not 0 / 0x50000000");
    checks.expect(b.class_name == std::string("BUTTON"), "button class is not \"BUTTON\"");
    checks.expect(b.window_name == std::string("Cache Reset"), "caption is not \"Cache Reset\"");
    checks.expect(b.x == 230 && b.y == 393 && b.width == 80 && b.height == 18,
                  "button is not at 230,393 with size 80x18");
    checks.expect(b.parent == window_, "button parent is not the settings window");
    checks.expect(reinterpret_cast<uintptr_t>(b.menu) == kCacheResetId,
                  "button id is not 40001");
    checks.expect(b.instance == fp->dll_hinst, "button instance is not the record's dll_hinst");
    button_ = b.result;

    const CreateFontCall& f = fonts.front();
    checks.expect(f.height == 12 && f.width == 0 && f.escapement == 0 && f.orientation == 0 &&
                      f.weight == 500 && f.italic == 0 && f.underline == 0 &&
                      f.strike_out == 0 && f.char_set == 128 && f.out_precision == 0 &&
                      f.clip_precision == 0 && f.quality == 2 && f.pitch_and_family == 48,
                  "font metrics differ from 12 / weight 500 / Shift-JIS / proof / modern");
    checks.expect(f.face_name == std::string(kButtonFaceCp932), "font face is not MS P Gothic");
    font_ = f.result;

    bool dressed = false;
    for (const SendMessageCall& m : win32_calls_of<SendMessageCall>())
      dressed |= m.hwnd == button_ && m.message == kSetFont &&
                 m.wparam == reinterpret_cast<WPARAM>(font_) && m.lparam == 0;
    checks.expect(dressed, "the font was not set on the button");
  }

  void check_forwarded(UINT message, WPARAM wparam, LPARAM lparam, CheckList& checks) override {
    const auto owners = win32_calls_of<GetWindowCall>();
    const auto sends = win32_calls_of<SendMessageCall>();
    checks.expect(!owners.empty() && owners.back().hwnd == window_ &&
                      owners.back().command == kGetOwner,
                  "the owner of the settings window was not asked for");
    checks.expect(!sends.empty() && sends.back().hwnd == default_owner_window() &&
                      sends.back().message == message && sends.back().wparam == wparam &&
                      sends.back().lparam == lparam,
                  "message " + std::to_string(message) + " did not reach the owner unchanged");
  }

  BOOL click(StandInHost& host, CheckList&) override {
    // BN_CLICKED (0) in the high word, the control id in the low word, as the
    // button's parent receives it.
    return host.window_message(window_, kCommand, kCacheResetId, 0);
  }

  void check_font_deleted(CheckList& checks) override {
    const auto deletes = win32_calls_of<DeleteObjectCall>();
    checks.expect(deletes.size() == 1 && deletes.front().object == font_,
                  "1128 did not delete the button's font once");
    checks.expect(live_font_count() == 0, "a font made by the module is still alive");
  }

 private:
  HWND window_;
  HWND button_ = nullptr;
  HFONT font_ = nullptr;
};

}  // namespace

std::unique_ptr<SettingsWindowDriver> make_settings_window_driver(StandInHost& host, bool,
                                                                  std::string& note) {
  note.clear();
  return std::make_unique<StandInSettingsWindow>(host);
}
#endif  // !_WIN32
