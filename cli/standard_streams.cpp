#include "cli/standard_streams.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {
bool g_closed[3];
}

void open_missing_standard_streams() {
  for (int fd = 0; fd < 3; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    g_closed[fd] = true;
    // open() returns the lowest free descriptor: this one.
    int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) close(opened);
  }
}

bool standard_stream_was_closed(int fd) { return fd >= 0 && fd < 3 && g_closed[fd]; }
