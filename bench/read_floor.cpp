// The least any log reader must do: read(2) every file of a list, whole, on a few threads, and
// nothing else. bench/run times it next to meterly over the same files, warm and cold.
//
// Usage: read_floor THREADS KIB < list   (paths separated by NUL or LF)
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: read_floor THREADS KIB < list\n");
    return 2;
  }
  const int threads = std::max(1, std::atoi(argv[1]));
  const std::size_t buffer_bytes = static_cast<std::size_t>(std::max(1, std::atoi(argv[2]))) << 10;

  const std::string list{std::istreambuf_iterator<char>(std::cin), {}};
  std::vector<std::string> files;
  std::string path;
  for (const char c : list) {
    if (c == '\0' || c == '\n') {
      if (!path.empty()) files.push_back(std::move(path));
      path.clear();
    } else {
      path.push_back(c);
    }
  }
  if (!path.empty()) files.push_back(std::move(path));

  // Files are handed out one at a time, in list order, as meterly's workers take them.
  std::atomic<std::size_t> next{0};
  std::atomic<std::uint64_t> total{0};
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t) {
    pool.emplace_back([&] {
      const std::unique_ptr<char[]> buffer(new char[buffer_bytes]);
      std::uint64_t bytes = 0;
      for (std::size_t i; (i = next.fetch_add(1)) < files.size();) {
        const int fd = ::open(files[i].c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        for (;;) {
          const ssize_t got = ::read(fd, buffer.get(), buffer_bytes);
          if (got < 0 && errno == EINTR) continue;
          if (got <= 0) break;
          bytes += static_cast<std::uint64_t>(got);
        }
        ::close(fd);
      }
      total += bytes;
    });
  }
  for (std::thread& thread : pool) thread.join();
  std::printf("%zu files, %llu bytes\n", files.size(),
              static_cast<unsigned long long>(total.load()));
  return 0;
}
