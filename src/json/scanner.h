// The JSON line scanner the readers use: a cursor that reads keys, strings and counts in place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

/// A forward-only cursor over the raw bytes of one JSON line. Never reads at or past the end.
struct JsonCursor {
  std::string_view bytes;
  std::size_t pos = 0;
};

/// Moves past space, tab, LF and CR (and no other byte).
void skip_ws(JsonCursor& cursor);

/// Passes over one value of any kind without decoding it. Depth costs heap, not stack.
inline void skip_value(JsonCursor& cursor);

/// Decodes the string the cursor stands on; nothing when it is not a valid string.
std::optional<std::string> read_string(JsonCursor& cursor);

/// Skips whitespace; the decoded string when one follows, else skips the value and gives nothing.
std::optional<std::string> read_string_value(JsonCursor& cursor);

/// As read_string_value, but the text views the line when the string has no escapes and is
/// otherwise decoded into `scratch`; the view lasts until the line or `scratch` changes.
std::optional<std::string_view> read_string_value_view(JsonCursor& cursor, std::string& scratch);

/// Skips whitespace; steps into an object when one starts here.
bool begin_object(JsonCursor& cursor);

/// The next member's key, with the cursor left on the member's value; nothing at the object's end.
std::optional<std::string> next_key(JsonCursor& cursor);

/// As next_key, but the key views the line or `scratch` like read_string_value_view.
inline std::optional<std::string_view> next_key_view(JsonCursor& cursor, std::string& scratch);

/// Reads an unsigned count from a number or a string of digits; consumes the value in every case.
inline std::optional<std::uint64_t> read_u64(JsonCursor& cursor);

/// Whether `key` is the text of `literal`: the lengths first, then bytes compared inline, as
/// a memcmp call per candidate key costs more than the comparison itself.
template <std::size_t N>
inline bool key_is(std::string_view key, const char (&literal)[N]) {
  return key.size() == N - 1 && std::memcmp(key.data(), literal, N - 1) == 0;
}

// The three calls above are made for nearly every member of every line read: inline fast paths.
#include "json/scanner_inline.h"
