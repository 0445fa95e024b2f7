// Inline fast paths of the scanner's hottest calls and the general code they fall back to;
// only json/scanner.h includes this.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "json/byte_scan.h"
#include "json/skip_value.h"
#include "util/text.h"

/// next_key_view for every case that its inline fast path leaves to it.
std::optional<std::string_view> next_key_view_general(JsonCursor& cursor, std::string& scratch);

/// read_u64 for every case that its inline fast path leaves to it.
std::optional<std::uint64_t> read_u64_general(JsonCursor& cursor);

// The inline fast paths: each reads the usual form and moves the cursor past it, or leaves the
// cursor alone and returns nothing, for the general code to read from the same place.

inline bool skip_value_inline([[maybe_unused]] JsonCursor& cursor) {
#ifdef METERLY_BYTES16
  // Most skipped members are strings and short scalars; only containers need the full walk.
  const char* const begin = cursor.bytes.data();
  const char* const end = begin + cursor.bytes.size();
  const char* const p = begin + cursor.pos;
  if (end - p >= 16) {
    if (*p == '"') {
      cursor.pos = static_cast<std::size_t>(find_string_end(p + 1, end) - begin);
      return true;
    }
    if (*p != '[' && *p != '{' && !is_json_space(*p)) {
      if (const char* stop = find_scalar_stop_16(p); stop != p + 16) {
        cursor.pos = static_cast<std::size_t>(stop - begin);
        return true;
      }
    }
  }
#endif
  return false;
}

inline std::optional<std::string_view> next_key_inline([[maybe_unused]] JsonCursor& cursor) {
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
  return std::nullopt;
}

inline std::optional<std::uint64_t> read_u64_inline(JsonCursor& cursor) {
  // The usual count: up to 19 digits, which cannot overflow, then a byte that ends the number.
  const char* const begin = cursor.bytes.data();
  const char* const end = begin + cursor.bytes.size();
  const char* const digits = begin + cursor.pos;
  const char* p = digits;
  std::uint64_t value = 0;
  for (; p < end && p - digits < 19 && is_ascii_digit(*p); ++p) {
    value = value * 10 + static_cast<std::uint64_t>(*p - '0');
  }
  if (p != digits && p < end && !is_ascii_digit(*p) && *p != '.' && *p != 'e' && *p != 'E') {
    cursor.pos = static_cast<std::size_t>(p - begin);
    return value;
  }
  return std::nullopt;
}

inline void skip_value(JsonCursor& cursor) {
  if (!skip_value_inline(cursor)) skip_value_general(cursor);
}

inline std::optional<std::string_view> next_key_view(JsonCursor& cursor, std::string& scratch) {
  if (const std::optional<std::string_view> key = next_key_inline(cursor)) return key;
  return next_key_view_general(cursor, scratch);
}

inline std::optional<std::uint64_t> read_u64(JsonCursor& cursor) {
  if (const std::optional<std::uint64_t> value = read_u64_inline(cursor)) return value;
  return read_u64_general(cursor);
}
