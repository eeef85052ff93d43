#include "cli/huge_pages.h"

#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

constexpr char kSwitch[] = "QUIETLOOM_HUGE_PAGES";
constexpr char kTunable[] = "glibc.malloc.hugetlb=1";
// Set for the restarted tool only: the GLIBC_TUNABLES it was started with,
// after a '+' ("-" when there was none), to put back for its children.
constexpr char kRestarted[] = "QUIETLOOM_RESTARTED_WITH";

// The restarted tool's environment as the user gave it: glibc has read its
// tunables by now, and the programs the tool starts must not inherit them.
bool restore_environment() {
  const char* saved = std::getenv(kRestarted);
  if (!saved) return false;
  std::string before = saved;
  if (before.size() > 0 && before[0] == '+') {
    setenv("GLIBC_TUNABLES", before.c_str() + 1, 1);
  } else {
    unsetenv("GLIBC_TUNABLES");
  }
  unsetenv(kRestarted);
  return true;
}

// Whether the kernel gives transparent huge pages to memory that asks for
// them ("madvise" mode; in "always" mode every large mapping gets them
// anyway and "never" gives none).
bool huge_pages_on_request() {
  std::ifstream file("/sys/kernel/mm/transparent_hugepage/enabled");
  std::string modes;
  std::getline(file, modes);
  return modes.find("[madvise]") != std::string::npos;
}

}  // namespace

void restart_with_huge_pages(char** argv) {
#if defined(__linux__) && defined(__GLIBC__)
  if (restore_environment()) return;
  if (std::getenv(kSwitch)) return;  // a user who wants none of it
  if (!huge_pages_on_request()) return;
  const char* tunables = std::getenv("GLIBC_TUNABLES");
  std::string value = tunables ? tunables : "";
  if (value.find("glibc.malloc.hugetlb") != std::string::npos) return;  // the user chose
  value = value.empty() ? kTunable : value + ":" + kTunable;
  const std::string before = tunables ? std::string("+") + tunables : "-";
  if (setenv("GLIBC_TUNABLES", value.c_str(), 1) != 0 || setenv(kRestarted, before.c_str(), 1) != 0) {
    return;
  }
  execv("/proc/self/exe", argv);
  unsetenv(kRestarted);
  // Not restarted: go on with ordinary pages, and leave the environment of
  // the programs the tool starts (ffmpeg) as it was.
  if (tunables) {
    setenv("GLIBC_TUNABLES", tunables, 1);
  } else {
    unsetenv("GLIBC_TUNABLES");
  }
#else
  (void)argv;
#endif
}
