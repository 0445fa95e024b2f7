// Scans one transcript line for the members that make a usage event.
#include "claude/transcript_line.h"

#include "json/scanner.h"

namespace {

void scan_cache_creation(JsonCursor& cursor, TranscriptLine& out, LineScratch& scratch) {
  while (const auto key = next_key_view(cursor, scratch.key)) {
    if (key_is(*key, "ephemeral_5m_input_tokens")) {
      out.ephemeral_5m = read_u64(cursor).value_or(0);
    } else if (key_is(*key, "ephemeral_1h_input_tokens")) {
      out.ephemeral_1h = read_u64(cursor).value_or(0);
    } else {
      skip_value(cursor);
    }
  }
}

void scan_usage(JsonCursor& cursor, TranscriptLine& out, LineScratch& scratch) {
  while (const auto key = next_key_view(cursor, scratch.key)) {
    if (key_is(*key, "input_tokens")) {
      out.input_tokens = read_u64(cursor).value_or(0);
    } else if (key_is(*key, "output_tokens")) {
      out.output_tokens = read_u64(cursor).value_or(0);
    } else if (key_is(*key, "cache_creation_input_tokens")) {
      out.cache_creation_input_tokens = read_u64(cursor).value_or(0);
    } else if (key_is(*key, "cache_read_input_tokens")) {
      out.cache_read_input_tokens = read_u64(cursor).value_or(0);
    } else if (key_is(*key, "cache_creation")) {
      if (begin_object(cursor)) {
        scan_cache_creation(cursor, out, scratch);
      } else {
        skip_value(cursor);
      }
    } else if (key_is(*key, "speed")) {
      out.speed = read_string_value_view(cursor, scratch.speed);
    } else {
      skip_value(cursor);
    }
  }
}

void scan_message(JsonCursor& cursor, TranscriptLine& out, LineScratch& scratch) {
  while (const auto key = next_key_view(cursor, scratch.key)) {
    if (key_is(*key, "id")) {
      out.message_id = read_string_value_view(cursor, scratch.message_id);
    } else if (key_is(*key, "model")) {
      out.model = read_string_value_view(cursor, scratch.model);
    } else if (key_is(*key, "usage")) {
      // The key alone marks the line, whatever its value.
      out.has_usage = true;
      if (begin_object(cursor)) {
        scan_usage(cursor, out, scratch);
      } else {
        skip_value(cursor);
      }
    } else {
      skip_value(cursor);
    }
  }
}

}  // namespace

std::optional<TranscriptLine> scan_transcript_line(std::string_view line, LineScratch& scratch) {
  JsonCursor cursor{line, 0};
  if (!begin_object(cursor)) return std::nullopt;
  TranscriptLine out;
  while (const auto key = next_key_view(cursor, scratch.key)) {
    if (key_is(*key, "type")) {
      out.entry_type = read_string_value_view(cursor, scratch.entry_type);
    } else if (key_is(*key, "message")) {
      if (begin_object(cursor)) {
        scan_message(cursor, out, scratch);
      } else {
        skip_value(cursor);
      }
    } else if (key_is(*key, "timestamp")) {
      out.timestamp = read_string_value_view(cursor, scratch.timestamp);
    } else if (key_is(*key, "requestId")) {
      out.request_id = read_string_value_view(cursor, scratch.request_id);
    } else if (key_is(*key, "sessionId")) {
      out.session_id = read_string_value_view(cursor, scratch.session_id);
    } else if (key_is(*key, "cwd")) {
      out.cwd = read_string_value_view(cursor, scratch.cwd);
    } else {
      skip_value(cursor);
    }
  }
  return out;
}
