// Which rollout files a run reads, in which order, and the session each one holds.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// The session UUID (8-4-4-4-12 hexadecimal digits) that ends the file's stem, as written.
std::optional<std::string> session_id_from_file_name(std::string_view path);

/// The session UUID of the file name, else its stem when that is UTF-8, else the empty text.
/// Files with one key hold one conversation; the key is also the events' session id.
std::string file_session_key(std::string_view path);

/// Sorts the rollout paths component by component and keeps the first file of each session key,
/// so a conversation kept under both archived_sessions and sessions is read once.
std::vector<std::string> order_rollout_files(std::vector<std::string> paths);
