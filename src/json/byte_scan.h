#pragma once

#include <cstdint>

/// Whether `c` is JSON whitespace: space, tab, LF or CR, and no other byte.
inline bool is_json_space(char c) {
  constexpr std::uint64_t bits = std::uint64_t{1} << ' ' | std::uint64_t{1} << '\t' |
                                 std::uint64_t{1} << '\n' | std::uint64_t{1} << '\r';
  const auto byte = static_cast<unsigned char>(c);
  return byte < 64 && (bits >> byte & 1) != 0;
}

/// The first byte in [p, end) that is not JSON whitespace, or `end`.
inline const char* skip_json_space(const char* p, const char* end) {
  while (p < end && is_json_space(*p)) ++p;
  return p;
}

/// Where a JSON string that starts at `p` (just after its opening quote) ends: just after the
/// first quote not escaped by a backslash, or `end` when the line ends first. Decodes nothing.
const char* find_string_end(const char* p, const char* end);

/// The first quote or backslash in [p, end), or `end` when there is none.
const char* find_quote_or_backslash(const char* p, const char* end);
