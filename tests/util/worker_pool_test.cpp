#include "util/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

TEST(worker_pool, runs_every_index_once_on_a_valid_worker_across_repeated_loops) {
  for (const unsigned workers : {1u, 2u, 5u}) {
    WorkerPool pool(workers);
    for (const std::size_t count : {0u, 1u, 3u, 1000u}) {
      std::vector<std::atomic<int>> hits(count);
      pool.parallel_for(count, [&](std::size_t i, unsigned w) { hits[i] += w < workers ? 1 : 9; });
      for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(hits[i].load(), 1) << i;
    }
  }
}
