#include "cli/clip_io/input_feeder.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// Writes all of data; false when the decoder has gone (EPIPE) or fails.
bool write_all(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= size_t(n);
  }
  return true;
}

}  // namespace

InputFeeder::InputFeeder(int source, std::string head, int pipe_end)
    : source_(source), head_(std::move(head)), pipe_end_(pipe_end) {
  if (pipe2(wake_, O_CLOEXEC) != 0) wake_[0] = wake_[1] = -1;
  thread_ = std::thread([this] { run(); });
}

InputFeeder::~InputFeeder() { stop(); }

void InputFeeder::run() {
  copy();
  // The decoder sees the end of the clip when the last writer closes.
  close(pipe_end_);
  pipe_end_ = -1;
}

void InputFeeder::copy() {
  if (!write_all(pipe_end_, head_.data(), head_.size())) return;
  char buffer[1 << 16];
  for (;;) {
    struct pollfd watched[2] = {{source_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    int ready = poll(watched, wake_[0] >= 0 ? 2 : 1, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0 || (watched[1].revents & POLLIN)) return;
    ssize_t got = read(source_, buffer, sizeof buffer);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got < 0) {
      read_error_ = std::string("read error: ") + std::strerror(errno);
      return;
    }
    if (got == 0 || !write_all(pipe_end_, buffer, size_t(got))) return;
  }
}

void InputFeeder::stop() {
  if (wake_[1] >= 0) {
    char byte = 1;
    (void)!write(wake_[1], &byte, 1);
  }
  if (thread_.joinable()) thread_.join();
  for (int* fd : {&pipe_end_, &wake_[0], &wake_[1]}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
  if (source_ > 2) close(source_);
  source_ = -1;
}
