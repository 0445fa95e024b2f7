#include "main/output.h"

#include <unistd.h>
#include <cerrno>

int write_all(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}
