#if !defined(_WIN32)
#include "host/win32_stand_ins.h"

#include <algorithm>
#include <deque>
#include <cstdint>

namespace {

constexpr uintptr_t kFirstWindowHandle = 0x51000;
constexpr uintptr_t kFirstFontHandle = 0x52000;
constexpr uintptr_t kHandleStep = 0x10;
constexpr uintptr_t kDefaultOwner = 0x50100;
constexpr uintptr_t kSettingsWindow = 0x50200;

std::deque<Win32Call> g_calls;
std::vector<HFONT> g_live_fonts;  // made by CreateFontA, not yet deleted
uintptr_t g_owner = kDefaultOwner;
bool g_create_window_fails = false;
bool g_create_font_fails = false;
uintptr_t g_next_window = kFirstWindowHandle;
uintptr_t g_next_font = kFirstFontHandle;

HWND fake_handle(uintptr_t value) { return reinterpret_cast<HWND>(value); }

// Copies a string argument. Values below 0x10000 are not pointers but
// integer atoms (a class may be named by its atom); they are recorded in the
// "#number" form the system itself accepts for them.
std::optional<std::string> copy_string(LPCSTR text) {
  if (text == nullptr) return std::nullopt;
  const uintptr_t value = reinterpret_cast<uintptr_t>(text);
  if (value < 0x10000) {
    std::string atom = "#";
    atom += std::to_string(value);
    return atom;
  }
  return std::string(text);
}

}  // namespace

const std::deque<Win32Call>& win32_calls() { return g_calls; }
void clear_win32_calls() { g_calls.clear(); }

void set_owner_window(HWND owner) { g_owner = reinterpret_cast<uintptr_t>(owner); }
HWND default_owner_window() { return fake_handle(kDefaultOwner); }
HWND fake_settings_window() { return fake_handle(kSettingsWindow); }
int live_font_count() { return static_cast<int>(g_live_fonts.size()); }

void set_create_window_fails(bool fails) { g_create_window_fails = fails; }
void set_create_font_fails(bool fails) { g_create_font_fails = fails; }

void reset_win32_stand_ins() {
  g_calls.clear();
  g_live_fonts.clear();
  g_owner = kDefaultOwner;
  g_create_window_fails = false;
  g_create_font_fails = false;
}

extern "C" {

HWND CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR window_name, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param) {
  HWND result = nullptr;
  if (!g_create_window_fails) {
    result = fake_handle(g_next_window);
    g_next_window += kHandleStep;
  }
  g_calls.push_back(CreateWindowCall{ex_style, copy_string(class_name), copy_string(window_name),
                                     style, x, y, width, height, parent, menu, instance, param,
                                     result});
  return result;
}

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  g_calls.push_back(SendMessageCall{hwnd, message, wparam, lparam});
  return 0;
}

HWND GetWindow(HWND hwnd, UINT command) {
  constexpr UINT kOwner = 4;  // GW_OWNER
  HWND result = command == kOwner ? fake_handle(g_owner) : nullptr;
  g_calls.push_back(GetWindowCall{hwnd, command, result});
  return result;
}

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight,
                  DWORD italic, DWORD underline, DWORD strike_out, DWORD char_set,
                  DWORD out_precision, DWORD clip_precision, DWORD quality,
                  DWORD pitch_and_family, LPCSTR face_name) {
  HFONT result = nullptr;
  if (!g_create_font_fails) {
    result = fake_handle(g_next_font);
    g_next_font += kHandleStep;
    g_live_fonts.push_back(result);
  }
  g_calls.push_back(CreateFontCall{height, width, escapement, orientation, weight, italic,
                                   underline, strike_out, char_set, out_precision,
                                   clip_precision, quality, pitch_and_family,
                                   copy_string(face_name), result});
  return result;
}

BOOL DeleteObject(HGDIOBJ object) {
  g_calls.push_back(DeleteObjectCall{object});
  auto live = std::find(g_live_fonts.begin(), g_live_fonts.end(), object);
  if (live == g_live_fonts.end()) return 0;  // unknown or already deleted
  g_live_fonts.erase(live);
  return 1;
}

}  // extern "C"
#endif  // !_WIN32
