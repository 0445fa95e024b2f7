// Splitting and joining the paths of log files and directories, as plain text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

/// The last component of the path, passing over trailing separators and "." components; nothing
/// when there is none ("", "/", ".").
std::optional<std::string_view> file_name(std::string_view path);

/// The file name without its last extension; a name that starts with its only dot, and "..",
/// are stems whole. Nothing when the path has no file name.
std::optional<std::string_view> file_stem(std::string_view path);

/// The name of the directory that holds the file at `path`, as file_name gives it; nothing
/// without a '/' in the path or when that name is "..".
std::optional<std::string_view> parent_name(std::string_view path);

/// The text after the last '/' or '\'; the whole text without either; empty when it ends in one.
std::string_view path_tail(std::string_view path);

/// `base` and `name` with one '/' between them; just `name` when `base` is empty.
std::string join_path(std::string_view base, std::string_view name);

/// The path spelled by its components alone: repeated and trailing separators and "." components
/// other than a leading one are dropped, so two spellings of one path give the same text.
std::string normalized_path(std::string_view path);
