#pragma once
// Command line of the plug-in runner:
//   plugin_runner MODULE OUTPUT.yc48 [--all-stages] [--x87-extended] [--threads N]
//                 [--frames F] [--size WxH] [--button-test]
#include <string>

struct RunnerOptions {
  std::string module_path;
  std::string output_path;
  bool all_stages = false;    // every check on and non-default tracks
  bool x87_extended = false;  // x87 precision control at 64 bits before anything runs
  bool button_test = false;   // real parent window and strict checks of the button
  int threads = 2;
  int frames = 12;
  int width = 196;   // not a multiple of 16, so the module pads both ways
  int height = 118;
};

// Fills options from argv. On a malformed command line returns false and
// sets error.
bool parse_runner_options(int argc, char** argv, RunnerOptions& options, std::string& error);

const char* runner_usage();
