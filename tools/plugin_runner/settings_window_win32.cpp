// The settings window on Windows. With a display, the runner makes what the
// editor has: an owner window and, owned by it, a settings window whose
// window procedure hands every message to func_WndProc. The module's button
// and font are then real USER32 and GDI32 objects and are checked as such; a
// click goes through the button itself (BM_CLICK), which notifies its parent
// with WM_COMMAND. Without a display no window can be made; the module is
// then given no window at all and must cope.
#if defined(_WIN32)
#include <windows.h>

#include <cstring>
#include <string>

#include "tools/plugin_runner/button_face.h"
#include "tools/plugin_runner/settings_window_driver.h"

namespace {

constexpr int kCacheResetId = 40001;
constexpr char kOwnerClass[] = "QuietloomRunnerOwner";
constexpr char kSettingsClass[] = "QuietloomRunnerSettings";

class RealSettingsWindow;
RealSettingsWindow* g_active = nullptr;  // the window procedures' context

class RealSettingsWindow : public SettingsWindowDriver {
 public:
  explicit RealSettingsWindow(StandInHost& host) : host_(host) {}
  ~RealSettingsWindow() override {
    // Destroying the windows must not reach a module that may be unloaded.
    g_active = nullptr;
    if (settings_) DestroyWindow(settings_);
    if (owner_) DestroyWindow(owner_);
  }

  // Registers the classes and makes both windows; false (with the error) when
  // the system cannot make a window.
  bool create(std::string& error) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA owner_class = {};
    owner_class.lpfnWndProc = owner_proc;
    owner_class.hInstance = instance;
    owner_class.lpszClassName = kOwnerClass;
    WNDCLASSA settings_class = owner_class;
    settings_class.lpfnWndProc = settings_proc;
    settings_class.lpszClassName = kSettingsClass;
    RegisterClassA(&owner_class);
    RegisterClassA(&settings_class);
    g_active = this;
    owner_ = CreateWindowExA(0, kOwnerClass, "Quietloom runner", WS_OVERLAPPEDWINDOW, 0, 0, 320,
                             200, nullptr, nullptr, instance, nullptr);
    if (owner_ == nullptr) {
      error = "CreateWindowExA failed with error " + std::to_string(GetLastError());
      return false;
    }
    // A top-level window created with a parent handle is owned by it, as the
    // editor's settings window is owned by its main window.
    settings_ = CreateWindowExA(WS_EX_TOOLWINDOW, kSettingsClass, "Quietloom",
                                WS_POPUP | WS_CAPTION | WS_VISIBLE, 40, 40, 360, 460, owner_,
                                nullptr, instance, nullptr);
    if (settings_ == nullptr) {
      error = "CreateWindowExA (settings window) failed with error " +
              std::to_string(GetLastError());
      return false;
    }
    return true;
  }

  std::string description() const override { return "real windows"; }
  HWND settings_window() const override { return settings_; }

  void check_button(FILTER*, CheckList& checks) override {
    button_ = GetDlgItem(settings_, kCacheResetId);
    if (!checks.expect(button_ != nullptr, "no child window with id 40001 after 1127")) return;
    char text[64] = {};
    GetClassNameA(button_, text, sizeof(text));
    checks.expect(std::strcmp(text, "Button") == 0,
                  std::string("button class is \"") + text + "\", not \"Button\"");
    GetWindowTextA(button_, text, sizeof(text));
    checks.expect(std::strcmp(text, "Cache Reset") == 0,
                  std::string("button caption is \"") + text + "\"");
    RECT rect = {};
    GetWindowRect(button_, &rect);
    POINT top_left = {rect.left, rect.top};
    ScreenToClient(settings_, &top_left);
    checks.expect(top_left.x == 230 && top_left.y == 393,
                  "button is at " + std::to_string(top_left.x) + "," +
                      std::to_string(top_left.y) + ", not 230,393");
    checks.expect(rect.right - rect.left == 80 && rect.bottom - rect.top == 18,
                  "button size is " + std::to_string(rect.right - rect.left) + "x" +
                      std::to_string(rect.bottom - rect.top) + ", not 80x18");
    const LONG style = GetWindowLongA(button_, GWL_STYLE);
    checks.expect((style & (WS_CHILD | WS_VISIBLE)) == (WS_CHILD | WS_VISIBLE),
                  "button is not a visible child window");

    font_ = reinterpret_cast<HFONT>(SendMessageA(button_, WM_GETFONT, 0, 0));
    LOGFONTA font = {};
    if (!checks.expect(font_ != nullptr &&
                           GetObjectA(font_, sizeof(font), &font) == sizeof(font),
                       "the button has no font"))
      return;
    checks.expect(font.lfHeight == 12 && font.lfWeight == 500 && font.lfCharSet == 128 &&
                      font.lfQuality == 2 && font.lfPitchAndFamily == 48,
                  "button font differs from 12 / weight 500 / Shift-JIS / proof / modern");
    checks.expect(std::strcmp(font.lfFaceName, kButtonFaceCp932) == 0,
                  "button font face is not MS P Gothic");
  }

  void check_forwarded(UINT message, WPARAM wparam, LPARAM lparam, CheckList& checks) override {
    checks.expect(owner_received_ && owner_message_ == message && owner_wparam_ == wparam &&
                      owner_lparam_ == lparam,
                  "message " + std::to_string(message) + " did not reach the owner unchanged");
    owner_received_ = false;
  }

  BOOL click(StandInHost&, CheckList& checks) override {
    clicked_ = false;
    click_result_ = 0;
    if (!checks.expect(button_ != nullptr, "no button to click")) return 0;
    SendMessageA(button_, BM_CLICK, 0, 0);
    checks.expect(clicked_, "BM_CLICK on the button did not reach func_WndProc");
    return click_result_;
  }

  void check_font_deleted(CheckList& checks) override {
    LOGFONTA font = {};
    checks.expect(font_ == nullptr || GetObjectA(font_, sizeof(font), &font) == 0,
                  "the button's font still exists after 1128");
  }

 private:
  static LRESULT CALLBACK owner_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (g_active && hwnd == g_active->owner_ &&
        (message == WM_KEYDOWN || message == WM_KEYUP || message == WM_MOUSEWHEEL)) {
      g_active->owner_received_ = true;
      g_active->owner_message_ = message;
      g_active->owner_wparam_ = wparam;
      g_active->owner_lparam_ = lparam;
      return 0;
    }
    return DefWindowProcA(hwnd, message, wparam, lparam);
  }

  // The editor's settings window passes each of its messages to the filter.
  static LRESULT CALLBACK settings_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (g_active && hwnd == g_active->settings_) {
      const BOOL result = g_active->host_.window_message(hwnd, message, wparam, lparam);
      if (message == WM_COMMAND && LOWORD(wparam) == kCacheResetId) {
        g_active->clicked_ = true;
        g_active->click_result_ = result;
        return 0;
      }
    }
    return DefWindowProcA(hwnd, message, wparam, lparam);
  }

  StandInHost& host_;
  HWND owner_ = nullptr;
  HWND settings_ = nullptr;
  HWND button_ = nullptr;
  HFONT font_ = nullptr;
  bool owner_received_ = false;
  UINT owner_message_ = 0;
  WPARAM owner_wparam_ = 0;
  LPARAM owner_lparam_ = 0;
  bool clicked_ = false;
  BOOL click_result_ = 0;
};

// No window: the module's button cannot be made (a child needs a parent),
// keys have no owner to go to, and a click is the bare WM_COMMAND.
class WindowlessSettingsWindow : public SettingsWindowDriver {
 public:
  std::string description() const override { return "no window"; }
  HWND settings_window() const override { return nullptr; }
  void check_button(FILTER*, CheckList&) override {}
  void check_forwarded(UINT, WPARAM, LPARAM, CheckList&) override {}
  BOOL click(StandInHost& host, CheckList&) override {
    return host.window_message(nullptr, WM_COMMAND, kCacheResetId, 0);
  }
  void check_font_deleted(CheckList&) override {}
};

}  // namespace

std::unique_ptr<SettingsWindowDriver> make_settings_window_driver(StandInHost& host,
                                                                  bool real_windows,
                                                                  std::string& note) {
  note.clear();
  if (real_windows) {
    auto window = std::make_unique<RealSettingsWindow>(host);
    std::string error;
    if (window->create(error)) return window;
    note = "no display (" + error + ")";
  }
  return std::make_unique<WindowlessSettingsWindow>();
}
#endif  // _WIN32
