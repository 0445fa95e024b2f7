#pragma once

#include <cstddef>
#include <functional>
#include <memory>

/// Processors this process may run on (its CPU affinity mask); at least 1.
unsigned available_processors();

/// A fixed set of threads that run index loops; the calling thread only waits.
class WorkerPool {
 public:
  explicit WorkerPool(unsigned workers);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  unsigned size() const;

  /// Runs body(index, worker) once for every index below `count`, each index on one worker,
  /// workers claiming indices in ascending order; returns when all are done.
  void parallel_for(std::size_t count, const std::function<void(std::size_t, unsigned)>& body);

 private:
  struct Shared;
  std::unique_ptr<Shared> shared_;
};
