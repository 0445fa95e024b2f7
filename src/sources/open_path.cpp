// Opens paths longer than PATH_MAX one piece at a time.
#include "sources/open_path.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>

#include "util/interrupted.h"

namespace {

int open_retrying(int dir, const char* path, int flags) {
  return retry_interrupted([&] { return ::openat(dir, path, flags); });
}

// Closes a directory held for the walk without letting its close change the errno we report.
void close_keeping_errno(int fd) {
  if (fd == AT_FDCWD) return;
  const int saved = errno;
  ::close(fd);
  errno = saved;
}

}  // namespace

int open_path(const std::string& path, int flags) {
  if (path.size() < PATH_MAX) return open_retrying(AT_FDCWD, path.c_str(), flags);
  // At most two descriptors at a time: the directory reached so far and the next one down.
  int dir = AT_FDCWD;
  std::size_t start = 0;
  while (path.size() - start >= PATH_MAX) {
    const std::size_t cut = path.rfind('/', start + PATH_MAX - 1);
    if (cut == std::string::npos || cut <= start) {
      close_keeping_errno(dir);
      errno = ENAMETOOLONG;
      return -1;
    }
    const int next = open_retrying(dir, path.substr(start, cut - start).c_str(),
                                   O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    close_keeping_errno(dir);
    if (next < 0) return -1;
    dir = next;
    start = cut + 1;
    while (start < path.size() && path[start] == '/') ++start;
  }
  const int fd = open_retrying(dir, path.c_str() + start, flags);
  close_keeping_errno(dir);
  return fd;
}
