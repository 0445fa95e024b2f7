#include "util/interrupted.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <thread>

// A read that a handler without SA_RESTART interrupts is made again until the data comes; a
// read that ends normally is not repeated for the EINTR some earlier call left in errno.
TEST(retry_interrupted, repeats_interrupted_calls_only) {
  struct sigaction quiet {
  }, old{};
  quiet.sa_handler = [](int) {};
  ASSERT_EQ(sigaction(SIGUSR1, &quiet, &old), 0);
  int pipe_fds[2];
  ASSERT_EQ(pipe(pipe_fds), 0);
  const pthread_t reader = pthread_self();
  std::thread interrupter([&] {
    for (int i = 0; i < 20; ++i) {
      pthread_kill(reader, SIGUSR1);
      usleep(5000);
    }
    ASSERT_EQ(write(pipe_fds[1], "x", 1), 1);
  });
  char byte = 0;
  EXPECT_EQ(retry_interrupted([&] { return read(pipe_fds[0], &byte, 1); }), 1);
  interrupter.join();
  EXPECT_EQ(byte, 'x');
  close(pipe_fds[1]);
  errno = EINTR;
  int calls = 0;
  const ssize_t end = retry_interrupted([&]() -> ssize_t {
    if (++calls > 1) return errno = EBADF, -1;  // a second call fails for good, not a hang
    return read(pipe_fds[0], &byte, 1);
  });
  EXPECT_EQ(end, 0);
  EXPECT_EQ(calls, 1);
  close(pipe_fds[0]);
  sigaction(SIGUSR1, &old, nullptr);
}
