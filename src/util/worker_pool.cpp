// The worker threads of a scan: plain loops, and two branches whose loops share the workers.
#include "util/worker_pool.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

unsigned available_processors() {
#ifdef CPU_COUNT
  // Where the affinity mask exists (Linux, FreeBSD), `taskset -c 0` means one worker.
  cpu_set_t set;
  CPU_ZERO(&set);
  // A mask the call returns holds the CPU we run on, so its count is never 0.
  if (sched_getaffinity(0, sizeof set, &set) == 0) return static_cast<unsigned>(CPU_COUNT(&set));
#endif
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  return static_cast<unsigned>(std::max(online, 1L));
}

namespace {

// Starts one thread, or says that the system refused it: a process or thread limit, or no room
// for another stack. The threads already running then do the work.
template <typename Function>
bool start_thread(std::vector<std::thread>& threads, Function&& function) {
  try {
    threads.emplace_back(std::forward<Function>(function));
    return true;
  } catch (const std::system_error&) {
  } catch (const std::bad_alloc&) {
  }
  return false;
}

}  // namespace

// The loops of a fork_join's two branches and the workers that serve them.
struct WorkerPool::Shared {
  struct Loop {
    std::size_t count;
    std::size_t next;
    std::size_t running;
    const Body* body;
    bool second;  // of the second branch, served after the first branch's

    bool drained() const { return next == count && running == 0; }
  };

  std::mutex mutex;
  std::condition_variable changed;
  std::vector<Loop*> loops;  // the first branch's before the second's
  std::vector<std::thread> workers;
  std::thread::id second_branch;
  bool no_workers = false;  // none could be started: each branch runs its loops itself
  bool solo = false;        // a branch runs its loop itself, as worker 0
  bool exclusive = false;   // a when_idle job runs
  bool stopping = false;

  // The loop whose next index is claimed now, or null; the mutex is held.
  Loop* claimable() const {
    for (Loop* loop : loops) {
      if (loop->next < loop->count) return loop;
    }
    return nullptr;
  }

  // Runs indices of `only`, or of any loop when null, until none is left; the mutex is held.
  void serve(std::unique_lock<std::mutex>& lock, unsigned worker, Loop* only) {
    while (Loop* loop =
               only != nullptr ? (only->next < only->count ? only : nullptr) : claimable()) {
      const std::size_t index = loop->next++;
      ++loop->running;
      lock.unlock();
      (*loop->body)(index, worker);
      lock.lock();
      if (--loop->running == 0 && loop->next == loop->count) changed.notify_all();
    }
  }

  // Workers stop once fork_join's branches are done, and with them every loop.
  void work(unsigned worker) {
    std::unique_lock<std::mutex> lock(mutex);
    while (true) {
      changed.wait(lock, [&] { return stopping || claimable() != nullptr; });
      if (stopping) return;
      serve(lock, worker, nullptr);
    }
  }
};

WorkerPool::WorkerPool(unsigned workers) : workers_(workers > 0 ? workers : 1) {}

WorkerPool::~WorkerPool() = default;

unsigned WorkerPool::size() const {
  return workers_;
}

void WorkerPool::parallel_for(std::size_t count, const Body& body) {
  if (shared_) {
    run_shared_loop(count, body);
    return;
  }
  std::atomic<std::size_t> next{0};
  // Claiming indices in ascending order keeps neighbouring files on the same worker while
  // letting a worker that drew small files take more.
  const auto work = [&](unsigned worker) {
    for (std::size_t i = next.fetch_add(1); i < count; i = next.fetch_add(1)) body(i, worker);
  };
  const auto wanted = static_cast<unsigned>(std::min<std::size_t>(workers_, count));
  std::vector<std::thread> threads;
  for (unsigned w = 1; w < wanted && start_thread(threads, [&work, w] { work(w); }); ++w) {
  }
  work(0);
  for (std::thread& thread : threads) thread.join();
}

void WorkerPool::run_shared_loop(std::size_t count, const Body& body) {
  if (count == 0) return;
  Shared& shared = *shared_;
  std::unique_lock<std::mutex> lock(shared.mutex);
  shared.changed.wait(lock, [&] { return !shared.exclusive; });
  Shared::Loop loop{.count = count,
                    .next = 0,
                    .running = 0,
                    .body = &body,
                    .second = std::this_thread::get_id() == shared.second_branch};
  const auto place = std::find_if(shared.loops.begin(), shared.loops.end(),
                                  [&](const Shared::Loop* other) { return other->second; });
  shared.loops.insert(loop.second ? shared.loops.end() : place, &loop);
  // Workers start with the first loop that needs them and serve every loop until fork_join ends.
  const std::size_t wanted = std::min<std::size_t>(workers_, shared.workers.size() + count);
  while (!shared.no_workers && shared.workers.size() < wanted) {
    const auto worker = static_cast<unsigned>(shared.workers.size());
    if (!start_thread(shared.workers, [&shared, worker] { shared.work(worker); })) break;
  }
  if (shared.workers.empty()) {
    // Only this thread is left to run the loop; branches take turns, so worker 0 is one thread.
    shared.no_workers = true;
    shared.changed.wait(lock, [&] { return !shared.solo; });
    shared.solo = true;
    shared.serve(lock, 0, &loop);
    shared.solo = false;
  } else {
    shared.changed.notify_all();
  }
  shared.changed.wait(lock, [&] { return loop.drained(); });
  shared.loops.erase(std::find(shared.loops.begin(), shared.loops.end(), &loop));
  shared.changed.notify_all();
}

void WorkerPool::fork_join(const std::function<void()>& first,
                           const std::function<void()>& second) {
  shared_ = std::make_unique<Shared>();
  Shared& shared = *shared_;
  std::vector<std::thread> branch;
  const bool beside = start_thread(branch, [&shared, &second] {
    {
      const std::lock_guard<std::mutex> lock(shared.mutex);
      shared.second_branch = std::this_thread::get_id();
    }
    second();
  });
  first();
  if (beside) {
    branch.front().join();
  } else {
    second();
  }
  {
    const std::lock_guard<std::mutex> lock(shared.mutex);
    shared.stopping = true;
  }
  shared.changed.notify_all();
  for (std::thread& worker : shared.workers) worker.join();
  shared_.reset();
}

void WorkerPool::when_idle(const std::function<void()>& job) {
  if (!shared_) {
    job();
    return;
  }
  Shared& shared = *shared_;
  std::unique_lock<std::mutex> lock(shared.mutex);
  shared.changed.wait(lock, [&] {
    return !shared.exclusive &&
           std::all_of(shared.loops.begin(), shared.loops.end(),
                       [](const Shared::Loop* loop) { return loop->drained(); });
  });
  shared.exclusive = true;
  lock.unlock();
  job();
  lock.lock();
  shared.exclusive = false;
  shared.changed.notify_all();
}
