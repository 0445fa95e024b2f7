#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#ifndef __has_feature
#define __has_feature(feature) 0  // GCC has __SANITIZE_ADDRESS__ instead
#endif

/// Whether a sanitizer's runtime is in the test: it reserves shadow memory beyond any
/// address-space limit and starts threads of its own.
constexpr bool sanitized() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || \
    __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
  return true;
#else
  return false;
#endif
}

/// What a finished child process left behind.
struct ProcessResult {
  std::string out;
  std::string err;
  int status = -1;        // exit status, or 128 + signal
  long peak_rss_kib = 0;  // the child's own peak resident memory, as the kernel counted it
};

/// How to start the program under test.
struct RunSpec {
  std::vector<std::string> args;                         // without the program name
  std::vector<std::pair<std::string, std::string>> env;  // the whole environment
  bool terminal = false;            // standard output on a pseudo-terminal instead of a pipe
  std::string stdout_path;          // when set, standard output is opened from this path instead
  bool stdout_reader_gone = false;  // standard output is a pipe whose reading end is closed
  bool slow_nonblocking_reader = false;  // a non-blocking pipe that the test reads slowly
  bool stdin_closed = false;  // started without descriptor 0, which its first open then takes
  int timeout_seconds = 60;   // then killed (status 128 + 9), before the test's own time runs out
};

/// The program under test: $METERLY_TEST_BINARY when set (a cross-built or static build, or a
/// script running one under an emulator), else the one built with the tests.
std::string meterly_binary();

/// Runs meterly_binary() and waits for it.
ProcessResult run_meterly(const RunSpec& spec);

/// Runs any program (argv[0] a path) with the same plumbing.
ProcessResult run_program(const std::vector<std::string>& argv, const RunSpec& spec);

/// A fresh directory under /tmp, removed with everything in it on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

/// Writes `content` to `path`, creating missing parent directories.
void write_file(const std::string& path, std::string_view content);

/// Reads a whole file; empty when it cannot be read.
std::string read_file(const std::string& path);

/// Replaces the milliseconds of the "Scanned N files in Xms" line with "N", which varies by run.
std::string mask_elapsed(std::string text);
