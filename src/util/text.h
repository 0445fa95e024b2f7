// UTF-8 text helpers: validity, Unicode White_Space trimming and width.
#pragma once

#include <string>
#include <string_view>

/// Whether `c` is one of the ASCII digits, in any locale.
constexpr bool is_ascii_digit(char c) {
  return c >= '0' && c <= '9';
}

/// Whether `bytes` is well-formed UTF-8 (no overlongs, no surrogates, nothing above U+10FFFF).
bool is_valid_utf8(std::string_view bytes);

/// Removes Unicode White_Space from both ends of valid UTF-8 text.
std::string_view trim_unicode_space(std::string_view text);

/// Removes Unicode White_Space from the end of any bytes: only whole, valid encodings of it go,
/// so text that is not UTF-8 is never cut inside a sequence.
std::string_view trim_trailing_unicode_space(std::string_view text);

/// Number of Unicode scalar values (bytes that are not UTF-8 continuation bytes).
std::size_t display_width(std::string_view text);
