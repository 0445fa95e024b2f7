// The members of a Claude Code transcript line that can make a usage event.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

/// The fields of one transcript line that can make a usage event. Texts view the line or the
/// scratch strings of the `LineScratch` the line was scanned with.
struct TranscriptLine {
  std::optional<std::string_view> entry_type;
  std::optional<std::string_view> message_id;
  std::optional<std::string_view> model;
  std::optional<std::string_view> speed;
  std::optional<std::string_view> timestamp;
  std::optional<std::string_view> request_id;
  std::optional<std::string_view> session_id;
  std::optional<std::string_view> cwd;
  bool has_usage = false;
  std::uint64_t input_tokens = 0;
  std::uint64_t output_tokens = 0;
  std::uint64_t cache_creation_input_tokens = 0;
  std::uint64_t cache_read_input_tokens = 0;
  std::uint64_t ephemeral_5m = 0;
  std::uint64_t ephemeral_1h = 0;
};

/// Room to decode escaped texts into, one string per text field, reused from line to line.
struct LineScratch {
  std::string key;
  std::string entry_type;
  std::string message_id;
  std::string model;
  std::string speed;
  std::string timestamp;
  std::string request_id;
  std::string session_id;
  std::string cwd;
};

/// Gathers the fields of one raw line (its LF may be included); nothing unless the line starts,
/// after whitespace, with an object. A malformed tail loses only the fields after the fault.
std::optional<TranscriptLine> scan_transcript_line(std::string_view line, LineScratch& scratch);
