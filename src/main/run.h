// The whole program behind main().
#pragma once

#include <span>

/// Everything the program does, from the arguments (program name first) to the exit status.
int run(std::span<char* const> argv);
