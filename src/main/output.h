// Writing a whole text to a descriptor, the program's only output path.
#pragma once

#include <string_view>

/// Writes all of `data` to `fd`, retrying short and interrupted writes and waiting while a
/// non-blocking descriptor is full.
/// Returns 0, or the errno of the write that failed.
int write_all(int fd, std::string_view data);
