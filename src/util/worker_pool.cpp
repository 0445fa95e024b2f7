#include "util/worker_pool.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

unsigned available_processors() {
#ifdef CPU_COUNT
  // Where the affinity mask exists (Linux, FreeBSD), `taskset -c 0` means one worker.
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    const int count = CPU_COUNT(&set);
    if (count > 0) return static_cast<unsigned>(count);
  }
#endif
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? static_cast<unsigned>(online) : 1;
}

WorkerPool::WorkerPool(unsigned workers) : workers_(workers > 0 ? workers : 1) {}

unsigned WorkerPool::size() const {
  return workers_;
}

void WorkerPool::parallel_for(std::size_t count,
                              const std::function<void(std::size_t, unsigned)>& body) {
  std::atomic<std::size_t> next{0};
  // Claiming indices in ascending order keeps neighbouring files on the same worker while
  // letting a worker that drew small files take more.
  const auto work = [&](unsigned worker) {
    for (std::size_t i = next.fetch_add(1); i < count; i = next.fetch_add(1)) body(i, worker);
  };
  const auto wanted = static_cast<unsigned>(std::min<std::size_t>(workers_, count));
  std::vector<std::thread> threads;
  try {
    threads.reserve(wanted);
    for (unsigned w = 1; w < wanted; ++w) threads.emplace_back(work, w);
  } catch (const std::system_error&) {
    // A process or thread limit, or no room for another stack: the threads we have do the work.
  } catch (const std::bad_alloc&) {
  }
  if (count > 0) work(0);
  for (std::thread& thread : threads) thread.join();
}
