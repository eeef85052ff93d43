#include "cli/signals.h"

#include <csignal>
#include <initializer_list>
#include <cstring>
#include <unistd.h>

namespace {

constexpr int kPlaces = 4;
constexpr int kPathLength = 4096;

// Written by the main thread while the place is not in use, read by the
// handler only when it is: the in-use flag is set after the path is copied.
char g_paths[kPlaces][kPathLength];
volatile sig_atomic_t g_in_use[kPlaces];

extern "C" void remove_temp_files_and_die(int sig) {
  for (int i = 0; i < kPlaces; ++i) {
    if (g_in_use[i]) unlink(g_paths[i]);
  }
  std::signal(sig, SIG_DFL);
  raise(sig);
}

}  // namespace

void install_signal_handling() {
  std::signal(SIGPIPE, SIG_IGN);
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = remove_temp_files_and_die;
  sigemptyset(&action.sa_mask);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &action, nullptr);
}

int register_temp_path(const char* path) {
  if (std::strlen(path) >= size_t(kPathLength)) return -1;
  for (int i = 0; i < kPlaces; ++i) {
    if (!g_in_use[i]) {
      std::strcpy(g_paths[i], path);
      g_in_use[i] = 1;
      return i;
    }
  }
  return -1;
}

void unregister_temp_path(int handle) {
  if (handle >= 0 && handle < kPlaces) g_in_use[handle] = 0;
}
