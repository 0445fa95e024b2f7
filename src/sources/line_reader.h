#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>

/// Reads log files for the readers and hands over only the lines that contain a needle.
/// One per worker thread: its buffers are reused for every file that worker reads.
class LineReader {
 public:
  LineReader();
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  /// Calls `on_line` with every line of the regular file at `path` that contains at least one
  /// of `needles` (the line's LF included when present), in file order. False when the path
  /// cannot be opened as a regular file.
  bool read_matching_lines(const std::string& path, std::span<const std::string_view> needles,
                           const std::function<void(std::string_view)>& on_line);

 private:
  struct Buffers;
  Buffers* buffers_;
};
