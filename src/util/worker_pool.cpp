#include "util/worker_pool.h"

#include <sched.h>
#include <unistd.h>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
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

struct WorkerPool::Shared {
  std::mutex mutex;
  std::condition_variable work_ready;
  std::condition_variable work_done;
  const std::function<void(std::size_t, unsigned)>* body = nullptr;
  std::size_t count = 0;
  std::atomic<std::size_t> next{0};
  std::uint64_t generation = 0;
  unsigned busy = 0;
  bool stopping = false;
  std::vector<std::thread> threads;

  void work(unsigned worker) {
    std::uint64_t seen = 0;
    std::unique_lock lock(mutex);
    for (;;) {
      work_ready.wait(lock, [&] { return stopping || generation != seen; });
      if (stopping) return;
      seen = generation;
      const auto* job = body;
      const std::size_t total = count;
      lock.unlock();
      // Claiming indices in ascending order keeps neighbouring files on the same worker
      // while letting a worker that drew small files take more.
      for (std::size_t i = next.fetch_add(1); i < total; i = next.fetch_add(1)) (*job)(i, worker);
      lock.lock();
      if (--busy == 0) work_done.notify_one();
    }
  }
};

WorkerPool::WorkerPool(unsigned workers) : shared_(std::make_unique<Shared>()) {
  if (workers == 0) workers = 1;
  shared_->threads.reserve(workers);
  for (unsigned w = 0; w < workers; ++w) {
    shared_->threads.emplace_back([shared = shared_.get(), w] { shared->work(w); });
  }
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard lock(shared_->mutex);
    shared_->stopping = true;
  }
  shared_->work_ready.notify_all();
  for (auto& thread : shared_->threads) thread.join();
}

unsigned WorkerPool::size() const {
  return static_cast<unsigned>(shared_->threads.size());
}

void WorkerPool::parallel_for(std::size_t count,
                              const std::function<void(std::size_t, unsigned)>& body) {
  if (count == 0) return;
  std::unique_lock lock(shared_->mutex);
  shared_->body = &body;
  shared_->count = count;
  shared_->next.store(0);
  shared_->busy = size();
  ++shared_->generation;
  shared_->work_ready.notify_all();
  shared_->work_done.wait(lock, [&] { return shared_->busy == 0; });
  shared_->body = nullptr;
}
