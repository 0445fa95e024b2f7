#include "util/interrupted.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <thread>

// A read that a handler without SA_RESTART interrupts is made again until the data comes; a
// read that ends normally is not repeated for an EINTR that an earlier call left in errno.
TEST(retry_interrupted, repeats_interrupted_calls_only) {
  struct sigaction quiet = {}, old = {};
  quiet.sa_handler = [](int) {};
  ASSERT_EQ(sigaction(SIGUSR1, &quiet, &old), 0);
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::thread interrupter([&, reader = pthread_self()] {
    for (int i = 0; i < 20; ++i) pthread_kill(reader, SIGUSR1), usleep(5000);
    ASSERT_EQ(write(fds[1], "x", 1), 1);
  });
  char byte = 0;
  EXPECT_EQ(retry_interrupted([&] { return read(fds[0], &byte, 1); }), 1);
  interrupter.join();
  close(fds[1]);
  int calls = 0;  // a second call would fail for good rather than hang
  errno = EINTR;
  EXPECT_EQ(
      retry_interrupted([&] { return ++calls > 1 ? (errno = EBADF, -1) : read(fds[0], &byte, 1); }),
      0);
  close(fds[0]);
  sigaction(SIGUSR1, &old, nullptr);
}
