// The filter's settings window: the "Cache Reset" button and the forwarding of
// keyboard and wheel input to the window that owns the settings window.
#include "plugin/module_state.h"

namespace {

constexpr UINT kKeyDown = 0x0100;
constexpr UINT kKeyUp = 0x0101;
constexpr UINT kMouseWheel = 0x020A;
constexpr UINT kCommand = 0x0111;
constexpr UINT kKillFocus = 0x0008;
constexpr UINT kSetFont = 0x0030;
constexpr UINT kGetOwner = 4;  // GW_OWNER
constexpr int kCacheResetId = 40001;

// "ＭＳ Ｐゴシック" in code page 932.
constexpr char kButtonFontFace[] =
    "\x82\x6c\x82\x72\x20\x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e";

HWND g_button = nullptr;
HFONT g_font = nullptr;

void create_button(HWND parent, FILTER* fp) {
  HINSTANCE instance = fp ? fp->dll_hinst : nullptr;
  g_button = CreateWindowExA(0, "BUTTON", "Cache Reset", 0x50000000, 230, 393, 80, 18, parent,
                             reinterpret_cast<HMENU>(static_cast<uintptr_t>(kCacheResetId)),
                             instance, nullptr);
  g_font = CreateFontA(12, 0, 0, 0, 500, 0, 0, 0, 128, 0, 0, 2, 48, kButtonFontFace);
  // Without a window system the button may not exist; nothing to dress then.
  if (g_button && g_font)
    SendMessageA(g_button, kSetFont, reinterpret_cast<WPARAM>(g_font), 0);
}

BOOL click_cache_reset(FILTER* fp) {
  if (g_button) SendMessageA(g_button, kKillFocus, 0, 0);
  EXFUNC* ex = fp ? fp->exfunc : nullptr;
  if (!ex) return 0;
  if (ex->is_filter_active && ex->is_filter_active(fp) == 1) empty_frame_slot_cache();
  if (ex->filter_window_update) ex->filter_window_update(fp);
  return ex->is_filter_active ? ex->is_filter_active(fp) : 0;
}

}  // namespace

BOOL func_WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, void*, FILTER* fp) {
  switch (message) {
    case kKeyDown:
    case kKeyUp:
    case kMouseWheel:
      SendMessageA(GetWindow(hwnd, kGetOwner), message, wparam, lparam);
      return 0;
    case kCommand:
      if ((wparam & 0xFFFF) == kCacheResetId) return click_cache_reset(fp);
      return 0;
    case WM_FILTER_INIT:
      create_button(hwnd, fp);
      return 0;
    case WM_FILTER_EXIT:
      if (g_font) DeleteObject(g_font);
      g_font = nullptr;
      return 0;
    default:
      return 0;
  }
}
