#include "cli/progress.h"

#include <cmath>
#include <unistd.h>

ProgressDisplay::ProgressDisplay(bool enabled, int64_t total, std::FILE* stream)
    : enabled_(enabled), total_(total), stream_(stream),
      start_(std::chrono::steady_clock::now()), last_draw_(start_),
      terminal_(isatty(fileno(stream)) == 1) {}

namespace {
// The stream whose last line is an unfinished progress line, or null.
std::FILE* g_open_line = nullptr;
}  // namespace

void print_note(const std::string& text) {
  if (g_open_line) {
    std::fputs("\r\033[K", g_open_line);
    g_open_line = nullptr;
  }
  std::fprintf(stderr, "quietloom: %s\n", text.c_str());
  std::fflush(stderr);
}

void format_duration(double seconds, char* out, size_t size) {
  long s = std::lround(seconds < 0 ? 0 : seconds);
  if (s >= 3600) std::snprintf(out, size, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  else std::snprintf(out, size, "%ld:%02ld", s / 60, s % 60);
}

void ProgressDisplay::draw(int64_t done) {
  double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  double fps = elapsed > 0 ? double(done) / elapsed : 0;
  char line[160];
  int n = 0;
  if (total_ >= 0) {
    n = std::snprintf(line, sizeof line, "%lld/%lld frames  %.1f fps", (long long)done,
                      (long long)total_, fps);
    if (fps > 0 && done < total_) {
      char eta[32];
      format_duration(double(total_ - done) / fps, eta, sizeof eta);
      n += std::snprintf(line + n, sizeof line - size_t(n), "  ETA %s", eta);
    }
  } else {
    n = std::snprintf(line, sizeof line, "%lld frames  %.1f fps", (long long)done, fps);
  }
  // On a terminal the line is redrawn in place (and cleared past its end); a
  // log file gets one line per update.
  if (terminal_) {
    std::fprintf(stream_, "\r%s\033[K", line);
    g_open_line = stream_;
  }
  else std::fprintf(stream_, "%s\n", line);
  std::fflush(stream_);
  drawn_ = true;
}

void ProgressDisplay::update(int64_t done) {
  if (!enabled_) return;
  auto now = std::chrono::steady_clock::now();
  auto interval = std::chrono::milliseconds(terminal_ ? 250 : 5000);
  if (drawn_ && now - last_draw_ < interval) return;
  last_draw_ = now;
  draw(done);
}

void ProgressDisplay::finish(int64_t done) {
  if (!enabled_) return;
  draw(done);
  if (terminal_) std::fputc('\n', stream_);
  g_open_line = nullptr;
}
