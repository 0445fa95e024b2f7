// Runs a scan's jobs on one set of worker threads, one loop or two forked branches at a time.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

/// Processors this process may run on (its CPU affinity mask); at least 1.
unsigned available_processors();

/// Runs index loops on up to a given number of workers. Alone, a loop runs on the calling thread
/// and threads started for it; inside fork_join, the loops of both branches share one set of
/// worker threads. Threads the system refuses are done without, down to no extra thread at all.
class WorkerPool {
 public:
  using Body = std::function<void(std::size_t, unsigned)>;

  explicit WorkerPool(unsigned workers);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  /// The most workers a loop may use; worker numbers stay below it.
  unsigned size() const;

  /// Runs body(index, worker) once for every index below `count`, each index on one worker,
  /// workers claiming indices in ascending order; returns when all are done. Starts no thread
  /// for an empty loop, nor more than there are indices. `body` must not throw.
  void parallel_for(std::size_t count, const Body& body);

  /// Runs `first` on the calling thread and `second` beside it, and returns when both are done.
  /// Their loops share the workers, which always take the next index of `first`'s loop while it
  /// has one: `second`'s loops fill in, and go on while `first` does what follows its loop.
  /// Neither may throw.
  void fork_join(const std::function<void()>& first, const std::function<void()>& second);

  /// Runs `job` once no loop has an index left or running, and keeps new loops from starting
  /// until it is done: what it opens cannot find the workers holding every descriptor.
  void when_idle(const std::function<void()>& job);

 private:
  struct Shared;
  void run_shared_loop(std::size_t count, const Body& body);

  unsigned workers_;
  std::unique_ptr<Shared> shared_;  // only while fork_join runs
};
