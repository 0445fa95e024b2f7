// Opening a path of any length.
#pragma once

#include <string>

/// Opens `path` with open(2) `flags`, however long it is: a path the kernel would refuse as
/// longer than PATH_MAX is opened from its ancestors in pieces that each fit. Returns the
/// descriptor, or -1 with errno telling why.
int open_path(const std::string& path, int flags);
