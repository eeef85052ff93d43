#include "cli/signals.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kPlaces = 8;
constexpr int kPathLength = 4096;

// A place is written by the main thread while it is not in use and read by
// the handler, on any thread, only while it is: the release store of the
// flag orders the copy before it, the handler's acquire load the reads
// after it. Lock-free atomics are safe to use in a handler.
char g_paths[kPlaces][kPathLength];
std::atomic<int> g_path_in_use[kPlaces];
pid_t g_children[kPlaces];
std::atomic<int> g_child_in_use[kPlaces];
static_assert(std::atomic<int>::is_always_lock_free);

sigset_t g_reset_in_children;

// The signals whose default action ends the process and that arrive from
// outside; the faults a program raises itself (SIGSEGV, SIGBUS, SIGFPE,
// SIGILL, SIGABRT, SIGTRAP, SIGSYS) are left to their default action and to
// the tools that watch for them.
constexpr int kTerminating[] = {
    SIGHUP,  SIGINT,    SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM,
    SIGVTALRM, SIGPROF, SIGIO,   SIGXCPU,
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
};

void pause_briefly() {
  struct timespec pause = {0, 10 * 1000 * 1000};
  nanosleep(&pause, nullptr);
}

// Asks the children to stop, gives them two seconds, then kills them.
void stop_children() {
  for (int i = 0; i < kPlaces; ++i) {
    if (g_child_in_use[i].load(std::memory_order_acquire)) kill(g_children[i], SIGTERM);
  }
  for (int i = 0; i < kPlaces; ++i) {
    if (!g_child_in_use[i].load(std::memory_order_acquire)) continue;
    const pid_t pid = g_children[i];
    bool reaped = false;
    for (int tries = 0; tries < 200 && !reaped; ++tries) {
      pid_t done = waitpid(pid, nullptr, WNOHANG);
      reaped = done == pid || (done < 0 && errno != EINTR);
      if (!reaped) pause_briefly();
    }
    if (!reaped) {
      kill(pid, SIGKILL);
      while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
      }
    }
  }
}

extern "C" void clean_up_and_die(int sig) {
  const int saved_errno = errno;
  stop_children();
  for (int i = 0; i < kPlaces; ++i) {
    if (g_path_in_use[i].load(std::memory_order_acquire)) unlink(g_paths[i]);
  }
  errno = saved_errno;
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(sig, &action, nullptr);
  sigset_t unblock;
  sigemptyset(&unblock);
  sigaddset(&unblock, sig);
  raise(sig);
  sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
}

bool ignored_at_start(int sig) {
  struct sigaction current;
  return sigaction(sig, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

}  // namespace

void install_signal_handling() {
  sigemptyset(&g_reset_in_children);
  for (int sig : {SIGPIPE, SIGXFSZ}) {
    if (ignored_at_start(sig)) continue;
    std::signal(sig, SIG_IGN);
    sigaddset(&g_reset_in_children, sig);
  }
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = clean_up_and_die;
  // One clean-up at a time: the other signals wait while it runs.
  sigemptyset(&action.sa_mask);
  for (int sig : kTerminating) sigaddset(&action.sa_mask, sig);
  for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) sigaddset(&action.sa_mask, sig);
  for (int sig : kTerminating) {
    if (!ignored_at_start(sig)) sigaction(sig, &action, nullptr);
  }
  for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) {
    if (!ignored_at_start(sig)) sigaction(sig, &action, nullptr);
  }
}

int register_temp_path(const char* path) {
  if (std::strlen(path) >= size_t(kPathLength)) return -1;
  for (int i = 0; i < kPlaces; ++i) {
    if (!g_path_in_use[i].load(std::memory_order_relaxed)) {
      std::strcpy(g_paths[i], path);
      g_path_in_use[i].store(1, std::memory_order_release);
      return i;
    }
  }
  return -1;
}

void unregister_temp_path(int handle) {
  if (handle >= 0 && handle < kPlaces) g_path_in_use[handle].store(0, std::memory_order_release);
}

int register_child(pid_t pid) {
  for (int i = 0; i < kPlaces; ++i) {
    if (!g_child_in_use[i].load(std::memory_order_relaxed)) {
      g_children[i] = pid;
      g_child_in_use[i].store(1, std::memory_order_release);
      return i;
    }
  }
  return -1;
}

void unregister_child(int handle) {
  if (handle >= 0 && handle < kPlaces) g_child_in_use[handle].store(0, std::memory_order_release);
}

sigset_t signals_to_reset_in_children() { return g_reset_in_children; }
