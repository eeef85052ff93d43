#pragma once
// The settings window seen from the module's side: the window that receives
// message 1127 (and gets the "Cache Reset" button), the window that owns it
// (and receives forwarded keys), and the way a click reaches func_WndProc.
// Each platform observes the module's window calls its own way: on Linux
// through the log of the window-system stand-ins, on Windows through real
// USER32 and GDI32 objects.
#include <memory>
#include <string>

#include "host/stand_in_host.h"
#include "tools/plugin_runner/check_list.h"

class SettingsWindowDriver {
 public:
  virtual ~SettingsWindowDriver() = default;

  // How the module's window calls are observed, for the summary.
  virtual std::string description() const = 0;
  // The window passed as hwnd to func_WndProc.
  virtual HWND settings_window() const = 0;

  // After message 1127: the button exists as specified, dressed in its font.
  virtual void check_button(FILTER* fp, CheckList& checks) = 0;
  // After a key message sent to the settings window: the owner received the
  // same message, wparam and lparam.
  virtual void check_forwarded(UINT message, WPARAM wparam, LPARAM lparam,
                               CheckList& checks) = 0;
  // Delivers a click on "Cache Reset" to func_WndProc; returns its result.
  virtual BOOL click(StandInHost& host, CheckList& checks) = 0;
  // After message 1128: the font is gone.
  virtual void check_font_deleted(CheckList& checks) = 0;
};

// Linux: the stand-ins' call log. Windows: real windows when real_windows is
// set and a display is there (else note says why not), no window otherwise.
std::unique_ptr<SettingsWindowDriver> make_settings_window_driver(StandInHost& host,
                                                                  bool real_windows,
                                                                  std::string& note);
