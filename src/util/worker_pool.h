#pragma once

#include <cstddef>
#include <functional>

/// Processors this process may run on (its CPU affinity mask); at least 1.
unsigned available_processors();

/// Runs index loops on up to a given number of workers: the calling thread and threads started
/// for the loop. Threads the system refuses are done without, down to the calling thread alone.
class WorkerPool {
 public:
  explicit WorkerPool(unsigned workers);

  /// The most workers a loop may use; worker numbers stay below it.
  unsigned size() const;

  /// Runs body(index, worker) once for every index below `count`, each index on one worker,
  /// workers claiming indices in ascending order; returns when all are done. Starts no thread
  /// for an empty loop, nor more than there are indices. `body` must not throw.
  void parallel_for(std::size_t count, const std::function<void(std::size_t, unsigned)>& body);

 private:
  unsigned workers_;
};
