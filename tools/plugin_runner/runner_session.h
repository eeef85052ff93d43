#pragma once
// One run of a plug-in module as the editor drives it, through the stand-in
// host: func_init and func_update, func_proc for every frame of the
// synthetic clip in order, func_save_start, the settings-window messages
// (1127, forwarded keys, "Cache Reset" clicks with the filter on and off,
// 1128) and func_exit. Every expectation on the way is checked; the frames
// of the in-order pass are the run's output.
#include <vector>

#include "plugin/host_api.h"
#include "tools/plugin_runner/check_list.h"

struct SessionSettings {
  int width = 196;
  int height = 118;
  int frames = 12;
  int threads = 2;
  bool all_stages = false;    // every check on, non-default tracks
  bool real_windows = false;  // Windows: make real windows when a display is there
};

struct SessionResult {
  std::vector<PIXEL_YC> frames;  // frames x height x width pixels, frame after frame
  CheckList checks;
  std::string window_description;  // how the window calls were observed
  std::string window_note;         // why real windows could not be used, if so
};

SessionResult run_session(FILTER_DLL* table, const SessionSettings& settings);
