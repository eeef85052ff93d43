#include "tools/plugin_runner/runner_options.h"

#include <cstdlib>
#include <cstring>

namespace {

// A decimal integer in [lo, hi] that fills the whole text.
bool parse_int(const char* text, int lo, int hi, int& value) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (*end != '\0' || v < lo || v > hi) return false;
  value = static_cast<int>(v);
  return true;
}

bool parse_size(const char* text, int& w, int& h) {
  const char* x = text ? std::strchr(text, 'x') : nullptr;
  if (x == nullptr) return false;
  const std::string width(text, x);
  return parse_int(width.c_str(), 1, 4096, w) && parse_int(x + 1, 1, 4096, h);
}

}  // namespace

const char* runner_usage() {
  return "usage: plugin_runner MODULE OUTPUT.yc48 [--all-stages] [--x87-extended] [--threads N]\n"
         "                     [--frames F] [--size WxH] [--button-test]\n";
}

bool parse_runner_options(int argc, char** argv, RunnerOptions& options, std::string& error) {
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (arg == "--all-stages") {
      options.all_stages = true;
    } else if (arg == "--x87-extended") {
      options.x87_extended = true;
    } else if (arg == "--button-test") {
      options.button_test = true;
    } else if (arg == "--threads") {
      if (!parse_int(value, 1, 64, options.threads)) {
        error = "--threads needs a number from 1 to 64";
        return false;
      }
      ++i;
    } else if (arg == "--frames") {
      if (!parse_int(value, 1, 10000, options.frames)) {
        error = "--frames needs a number from 1 to 10000";
        return false;
      }
      ++i;
    } else if (arg == "--size") {
      if (!parse_size(value, options.width, options.height)) {
        error = "--size needs WxH with both from 1 to 4096";
        return false;
      }
      ++i;
    } else if (arg.rfind("--", 0) == 0) {
      error = "unknown option " + arg;
      return false;
    } else if (positional == 0) {
      options.module_path = arg;
      ++positional;
    } else if (positional == 1) {
      options.output_path = arg;
      ++positional;
    } else {
      error = "unexpected argument " + arg;
      return false;
    }
  }
  if (positional != 2) {
    error = "MODULE and OUTPUT are required";
    return false;
  }
  return true;
}
