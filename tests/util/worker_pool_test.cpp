#include "util/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

TEST(worker_pool, runs_every_index_once_across_repeated_loops) {
  for (const unsigned workers : {1u, 2u, 5u}) {
    WorkerPool pool(workers);
    ASSERT_EQ(pool.size(), workers);
    for (const std::size_t count : {0u, 1u, 3u, 1000u}) {
      std::vector<std::atomic<int>> hits(count);
      std::atomic<bool> bad_worker{false};
      pool.parallel_for(count, [&](std::size_t i, unsigned worker) {
        hits[i].fetch_add(1);
        if (worker >= workers) bad_worker = true;
      });
      for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(hits[i].load(), 1) << i;
      EXPECT_FALSE(bad_worker.load());
    }
  }
}

TEST(worker_pool, available_processors_is_positive) { EXPECT_GE(available_processors(), 1u); }
