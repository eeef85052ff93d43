// Loads a built plug-in module (quietloom.so or quietloom.auf) by path, checks
// its table the editor's way, drives it through the stand-in host over a
// generated clip, and writes the filtered frames as raw YC48. The same run on
// different platforms must give the same bytes; see tools/windows_check.sh.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <string>

#include "tools/plugin_runner/module_loader.h"
#include "tools/plugin_runner/runner_options.h"
#include "tools/plugin_runner/runner_session.h"
#include "tools/plugin_runner/x87_control.h"
#include "tools/plugin_runner/yc48_writer.h"

namespace {

std::string x87_description(bool requested) {
  if (!requested) return "x87 as inherited";
  if (!kHasX87Control) return "x87 not used by this build";
  char text[40];
  std::snprintf(text, sizeof(text), "x87 control 0x%04X", x87_control_word());
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  RunnerOptions options;
  std::string error;
  if (!parse_runner_options(argc, argv, options, error)) {
    std::fprintf(stderr, "plugin_runner: %s\n%s", error.c_str(), runner_usage());
    return 2;
  }
  // Before the module is loaded and the host starts its workers, so that
  // every thread of the run starts from this control word.
  if (options.x87_extended) set_x87_extended_precision();
  const std::string x87 = x87_description(options.x87_extended);

  LoadedModule module;
  if (!module.open(options.module_path, error)) {
    std::fprintf(stderr, "plugin_runner: %s\n", error.c_str());
    return 1;
  }

  SessionSettings settings;
  settings.width = options.width;
  settings.height = options.height;
  settings.frames = options.frames;
  settings.threads = options.threads;
  settings.all_stages = options.all_stages;
#if defined(_WIN32)
  settings.real_windows = options.button_test;
#endif
  const auto start = std::chrono::steady_clock::now();
  const SessionResult result = run_session(module.filter_table(), settings);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  bool ok = result.checks.passed();
  for (const std::string& failure : result.checks.failures())
    std::fprintf(stderr, "plugin_runner: FAIL: %s\n", failure.c_str());
  for (const std::string& note : result.checks.notes())
    std::fprintf(stderr, "plugin_runner: note: %s\n", note.c_str());

  const std::vector<uint8_t> bytes = yc48_bytes(result.frames);
  if (!result.frames.empty() && !write_file(options.output_path, bytes)) {
    std::fprintf(stderr, "plugin_runner: cannot write %s\n", options.output_path.c_str());
    ok = false;
  }

  if (options.button_test) {
#if defined(_WIN32)
    if (!result.window_note.empty())
      std::printf("button test: %s; the module handled 1127, keys, clicks and 1128 without a "
                  "window\n",
                  result.window_note.c_str());
    else
      std::printf("button test: %s with real windows\n", ok ? "passed" : "FAILED");
#else
    std::printf("button test: needs Windows; the window-system stand-ins' log was checked\n");
#endif
  }
  std::printf("plugin_runner: %s: %d frames %dx%d, %d workers, %s, %s; %zu bytes fnv1a64 "
              "%016" PRIx64 "; windows: %s; %.2f s\n",
              ok ? "ok" : "FAILED", options.frames, options.width, options.height,
              options.threads, options.all_stages ? "all stages" : "default settings",
              x87.c_str(), bytes.size(), fnv1a64(bytes), result.window_description.c_str(),
              seconds);
  return ok ? 0 : 1;
}
