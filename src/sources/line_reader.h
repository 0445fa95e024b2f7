// Reading log files line by line, prefiltered by needles, one reader per worker.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>

/// Reads log files for the readers and hands over only the lines that contain a needle.
/// One per worker thread: its buffers are reused for every file that worker reads.
class LineReader {
 public:
  /// The read size used when none is given.
  static constexpr std::size_t kDefaultBufferBytes = 512 * 1024;

  LineReader();
  /// A reader whose buffer starts at `buffer_bytes` (at least 64 bytes); small sizes suit tests.
  explicit LineReader(std::size_t buffer_bytes);
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  /// Calls `on_line` with every line of the regular file at `path` that contains at least one
  /// of `needles` (the line's LF included when present), in file order. False when the path
  /// cannot be opened as a regular file; any length of path is opened. Needles must be non-empty
  /// and hold no LF.
  bool read_matching_lines(const std::string& path, std::span<const std::string_view> needles,
                           const std::function<void(std::string_view)>& on_line);

  /// Whether the last call failed to open its file for want of a file descriptor, so that the
  /// file, not unreadable, should be read again once descriptors are free.
  bool out_of_descriptors() const;

  /// Asks the kernel to start reading the regular file at `path` into the page cache, so that
  /// a worker that reads it soon finds it there. A hint: nothing is reported.
  static void advise_will_read(const std::string& path);

  /// Whether the start of the last file read had to come from the disk, where the platform can
  /// tell; true where it cannot.
  bool last_file_was_cold() const;

  /// The size of the read buffer now: it grows only to hold a long line that contains a needle.
  std::size_t buffer_bytes() const;

 private:
  struct Buffers;
  Buffers* buffers_;
};
