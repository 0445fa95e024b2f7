#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "json/byte_scan.h"

/// A forward-only cursor over the raw bytes of one JSON line. Never reads at or past the end.
struct JsonCursor {
  std::string_view bytes;
  std::size_t pos = 0;
};

/// Moves past space, tab, LF and CR (and no other byte).
void skip_ws(JsonCursor& cursor);

/// skip_value for every case that its inline fast path leaves to it.
void skip_value_general(JsonCursor& cursor);

/// Passes over one value of any kind without decoding it. Depth costs heap, not stack.
inline void skip_value(JsonCursor& cursor) {
#ifdef METERLY_BYTES16
  // Most skipped members are strings and short scalars; only containers need the full walk.
  const char* const begin = cursor.bytes.data();
  const char* const end = begin + cursor.bytes.size();
  const char* const p = begin + cursor.pos;
  if (end - p >= 16) {
    if (*p == '"') {
      cursor.pos = static_cast<std::size_t>(find_string_end(p + 1, end) - begin);
      return;
    }
    if (*p != '[' && *p != '{' && !is_json_space(*p)) {
      if (const char* stop = find_scalar_stop_16(p); stop != p + 16) {
        cursor.pos = static_cast<std::size_t>(stop - begin);
        return;
      }
    }
  }
#endif
  skip_value_general(cursor);
}

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

/// next_key_view for every case that its inline fast path leaves to it.
std::optional<std::string_view> next_key_view_general(JsonCursor& cursor, std::string& scratch);

/// As next_key, but the key views the line or `scratch` like read_string_value_view.
inline std::optional<std::string_view> next_key_view(JsonCursor& cursor, std::string& scratch) {
#ifdef METERLY_BYTES16
  // The usual member: an optional comma, then a short ASCII key without escapes or spaces,
  // then its colon. Anything else, the general reader sees from the same position.
  const char* const begin = cursor.bytes.data();
  const char* const end = begin + cursor.bytes.size();
  const char* p = begin + cursor.pos;
  if (end - p >= 35) {
    p += *p == ',';
    if (*p == '"') {
      const ByteClasses32 classes = classify_32(p + 1);
      const std::uint32_t special = classes.quote | classes.backslash;
      const auto length = static_cast<unsigned>(__builtin_ctz(special | 0x80000000u));
      const std::uint32_t before = (std::uint32_t{1} << length) - 1;
      if ((classes.quote >> length & 1) != 0 && (classes.high & before) == 0 &&
          p[length + 2] == ':') {
        cursor.pos = static_cast<std::size_t>(p + length + 3 - begin);
        return std::string_view(p + 1, length);
      }
    }
  }
#endif
  return next_key_view_general(cursor, scratch);
}

/// read_u64 for every case that its inline fast path leaves to it.
std::optional<std::uint64_t> read_u64_general(JsonCursor& cursor);

/// Reads an unsigned count from a number or a string of digits; consumes the value in every case.
inline std::optional<std::uint64_t> read_u64(JsonCursor& cursor) {
  // The usual count: up to 19 digits, which cannot overflow, then a byte that ends the number.
  const char* const begin = cursor.bytes.data();
  const char* const end = begin + cursor.bytes.size();
  const char* const digits = begin + cursor.pos;
  const char* p = digits;
  std::uint64_t value = 0;
  for (; p < end && p - digits < 19 && *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + static_cast<std::uint64_t>(*p - '0');
  }
  if (p != digits && p < end && !(*p >= '0' && *p <= '9') && *p != '.' && *p != 'e' && *p != 'E') {
    cursor.pos = static_cast<std::size_t>(p - begin);
    return value;
  }
  return read_u64_general(cursor);
}

/// Whether `needle` occurs anywhere in `line`.
bool line_contains(std::string_view line, std::string_view needle);

/// Whether `key` is the text of `literal`: the lengths first, then bytes compared inline, as
/// a memcmp call per candidate key costs more than the comparison itself.
template <std::size_t N>
inline bool key_is(std::string_view key, const char (&literal)[N]) {
  return key.size() == N - 1 && std::memcmp(key.data(), literal, N - 1) == 0;
}
