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

// Both branches' loops share the workers; a when_idle job sees no index of either running.
TEST(worker_pool, fork_join_runs_both_branches_loops_and_idle_jobs_alone) {
  for (const unsigned workers : {1u, 2u, 5u}) {
    WorkerPool pool(workers);
    std::vector<std::atomic<int>> hits(600);
    std::atomic<int> running{0};
    std::atomic<int> overlapped{0};
    const auto branch = [&](std::size_t from) {
      return [&, from] {
        pool.parallel_for(300, [&](std::size_t i, unsigned w) {
          ++running;
          hits[from + i] += w < workers ? 1 : 9;
          --running;
        });
        pool.when_idle([&] { overlapped += running.load(); });
      };
    };
    pool.fork_join(branch(0), branch(300));
    for (std::size_t i = 0; i < hits.size(); ++i) ASSERT_EQ(hits[i].load(), 1) << i;
    EXPECT_EQ(overlapped.load(), 0);
  }
}
