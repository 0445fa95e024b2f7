// The single write of the finished report, whole, to a descriptor.
#include "main/output.h"

#include <poll.h>
#include <unistd.h>
#include <cerrno>

int write_all(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n == -1) {
      if (errno == EINTR) continue;
      // A descriptor left non-blocking by whoever started us, with a reader slower than we are:
      // wait until it takes more rather than lose the rest of the report.
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        pollfd ready{fd, POLLOUT, 0};
        if (::poll(&ready, 1, -1) != -1 || errno == EINTR) continue;
      }
      return errno;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}
