// System calls that a signal interrupted before they did anything are made again.
#pragma once

#include <cerrno>

// Calls `call` until it returns something other than a failure with EINTR: a handler installed
// without SA_RESTART by whoever embeds us must not turn into a failed read or a lost file.
template <class Call>
auto retry_interrupted(Call call) {
  auto result = call();
  while (result < 0 && errno == EINTR) result = call();
  return result;
}
