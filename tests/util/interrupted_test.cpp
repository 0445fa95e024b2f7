#include "util/interrupted.h"

#include <gtest/gtest.h>

// A call that a signal interrupted is made again until it does its work; a call that ends
// normally is not repeated for an EINTR that an earlier call left in errno.
TEST(retry_interrupted, repeats_interrupted_calls_only) {
  int calls = 0;
  EXPECT_EQ(retry_interrupted([&] { return ++calls < 3 ? (errno = EINTR, -1) : 7; }), 7);
  EXPECT_EQ(calls, 3);
  errno = EINTR;  // a second call would fail for good rather than hang
  EXPECT_EQ(retry_interrupted([&] { return ++calls > 4 ? (errno = EBADF, -1) : 0; }), 0);
}
