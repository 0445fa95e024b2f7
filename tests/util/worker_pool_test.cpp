#include "util/worker_pool.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <vector>

#include "support/process.h"

TEST(worker_pool, runs_every_index_once_on_a_valid_worker_busy_once_across_repeated_loops) {
  for (const unsigned asked : {0u, 1u, 2u, 5u}) {
    WorkerPool pool(asked);
    const unsigned workers = std::max(asked, 1u);  // never none
    EXPECT_EQ(pool.size(), workers);
    for (const std::size_t count : {0u, 1u, 3u, 1000u}) {
      std::vector<std::atomic<int>> hits(count);
      std::atomic<bool> busy[5] = {};
      pool.parallel_for(count, [&](std::size_t i, unsigned w) {
        const bool alone = w < workers && !busy[w].exchange(true);
        usleep(10);
        hits[i] += alone ? (busy[w] = false, 1) : 9;
      });
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

// Two workers run two indices at the same time, in a loop alone and in a branch's loop.
TEST(worker_pool, two_workers_run_side_by_side) {
  WorkerPool pool(2);
  const auto side_by_side = [&] {
    std::atomic<int> arrived{0}, alone{0};
    pool.parallel_for(2, [&](std::size_t, unsigned) {
      ++arrived;
      for (int ms = 0; arrived.load() < 2 && ms < 10000; ++ms) usleep(1000);
      if (arrived.load() < 2) ++alone;
    });
    return alone.load() == 0;
  };
  EXPECT_TRUE(side_by_side());
  bool in_branch = false;
  pool.fork_join([&] { in_branch = side_by_side(); }, [] {});
  EXPECT_TRUE(in_branch);
}

// Threads the system refuses are done without, and a worker number is never in use twice at
// once: here the second branch gets a thread but no worker does, so both branches run their loops
// as worker 0 and must take turns.
TEST(worker_pool, branches_take_turns_as_worker_zero_when_threads_are_refused) {
  if (sanitized()) GTEST_SKIP() << "address-space limits do not apply under a sanitizer";
  if (!std::ifstream("/proc/self/statm")) GTEST_SKIP() << "no /proc/self/statm to set a limit by";
  const pid_t child = fork();
  if (child == 0) {
    alarm(60);  // a pool that waits for a turn that never comes
    std::vector<std::atomic<int>> hits(200);
    std::atomic<bool> busy[4] = {}, started[2] = {};
    std::atomic<int> wrong{0};
    WorkerPool pool(4);
    const auto branch = [&](int b) {
      return [&, b] {
        pool.parallel_for(100, [&](std::size_t i, unsigned w) {
          started[b] = true;
          wrong += busy[w].exchange(true) ? 1 : 0;
          // The first index waits a while for the other branch, which must not come in.
          for (int t = 0; i == 0 && !started[1 - b] && t < 300; ++t) usleep(1000);
          busy[w] = false;
          ++hits[static_cast<std::size_t>(b) * 100 + i];
        });
      };
    };
    // Room for one more thread's stack (8 MiB by default) and a little heap, not for two.
    std::size_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const auto room = static_cast<rlim_t>(pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE)));
    const rlimit limit{room + (10 << 20), room + (10 << 20)};
    if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(3);
    pool.fork_join(branch(0), branch(1));
    for (const auto& hit : hits) wrong += hit.load() != 1;
    _exit(wrong.load() != 0 ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}
