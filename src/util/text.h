#pragma once

#include <string>
#include <string_view>

/// Whether `bytes` is well-formed UTF-8 (no overlongs, no surrogates, nothing above U+10FFFF).
bool is_valid_utf8(std::string_view bytes);

/// Removes Unicode White_Space from both ends of valid UTF-8 text.
std::string_view trim_unicode_space(std::string_view text);

/// The text after the last '/' or '\'; the whole text without either; empty when it ends in one.
std::string_view path_tail(std::string_view path);

/// `base` and `name` with one '/' between them; just `name` when `base` is empty.
std::string join_path(std::string_view base, std::string_view name);

/// Number of Unicode scalar values (bytes that are not UTF-8 continuation bytes).
std::size_t display_width(std::string_view text);
