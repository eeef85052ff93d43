#pragma once
// Stand-ins for the window-system functions the module calls (declared in
// plugin/win32_types.h), for systems without them. No window or font is
// made: every call is recorded with all its arguments, strings copied, in one
// process-wide log that tests read and clear, and answers with a fake handle.
// Handles are distinct non-null values that no real object has. The log is
// not locked: the module calls these from the host's calling thread only.
#if !defined(_WIN32)
#include <deque>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "plugin/win32_types.h"

struct CreateWindowCall {
  DWORD ex_style;
  std::optional<std::string> class_name;   // nullopt for a null pointer
  std::optional<std::string> window_name;
  DWORD style;
  int x, y, width, height;
  HWND parent;
  HMENU menu;
  HINSTANCE instance;
  LPVOID param;
  HWND result;
};

struct SendMessageCall {
  HWND hwnd;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
};

struct GetWindowCall {
  HWND hwnd;
  UINT command;
  HWND result;
};

struct CreateFontCall {
  int height, width, escapement, orientation, weight;
  DWORD italic, underline, strike_out, char_set, out_precision, clip_precision, quality,
      pitch_and_family;
  std::optional<std::string> face_name;
  HFONT result;
};

struct DeleteObjectCall {
  HGDIOBJ object;
};

using Win32Call =
    std::variant<CreateWindowCall, SendMessageCall, GetWindowCall, CreateFontCall, DeleteObjectCall>;

// Every call since the last clear, in call order. A deque: references to
// recorded calls stay valid while more are recorded.
const std::deque<Win32Call>& win32_calls();
void clear_win32_calls();

// The calls of one kind, in call order.
template <typename Call>
std::vector<Call> win32_calls_of() {
  std::vector<Call> calls;
  for (const Win32Call& call : win32_calls())
    if (const Call* c = std::get_if<Call>(&call)) calls.push_back(*c);
  return calls;
}

// What GetWindow(hwnd, GW_OWNER) answers for any hwnd (default
// default_owner_window()); every other command answers null.
void set_owner_window(HWND owner);
HWND default_owner_window();

// The handle the stand-in host gives its settings window (FILTER::hwnd).
HWND fake_settings_window();

// Make CreateWindowExA or CreateFontA fail (answer null); the failed call is
// still recorded.
void set_create_window_fails(bool fails);
void set_create_font_fails(bool fails);

// Fonts made by CreateFontA and not yet passed to DeleteObject. DeleteObject
// answers 1 for such a font and 0 for any other object.
int live_font_count();

// Clears the log and the live fonts, and restores the owner and both failure
// switches.
void reset_win32_stand_ins();
#endif  // !_WIN32
