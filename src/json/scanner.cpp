// Decoding of JSON strings, keys and counts for the line scanner.
#include "json/scanner.h"

#include <array>

#include "json/byte_scan.h"
#include "util/text.h"

namespace {

// What each one-letter escape stands for; 0 for letters that are not escapes.
constexpr std::array<char, 256> make_escaped_bytes() {
  std::array<char, 256> bytes{};
  bytes['"'] = '"';
  bytes['\\'] = '\\';
  bytes['/'] = '/';
  bytes['b'] = '\b';
  bytes['f'] = '\f';
  bytes['n'] = '\n';
  bytes['r'] = '\r';
  bytes['t'] = '\t';
  return bytes;
}

constexpr std::array<char, 256> kEscapedBytes = make_escaped_bytes();

inline const char* skip_digits(const char* p, const char* end) {
  while (p < end && is_ascii_digit(*p)) ++p;
  return p;
}

// The value of the digits in [p, end), or nothing when it does not fit in 64 bits.
std::optional<std::uint64_t> parse_digits(const char* p, const char* end) {
  std::uint64_t value = 0;
  for (; p < end; ++p) {
    if (__builtin_mul_overflow(value, 10, &value) ||
        __builtin_add_overflow(value, static_cast<std::uint64_t>(*p - '0'), &value)) {
      return std::nullopt;
    }
  }
  return value;
}

int hex_value(char c) {
  if (is_ascii_digit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The code unit spelled by the four bytes at `p`, or -1 when one is not a hexadecimal digit.
long hex4(const char* p) {
  long unit = 0;
  for (int i = 0; i < 4; ++i) {
    const int digit = hex_value(p[i]);
    if (digit < 0) return -1;
    unit = unit << 4 | digit;
  }
  return unit;
}

void append_utf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | cp >> 6));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | cp >> 12));
    out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | cp >> 18));
    out.push_back(static_cast<char>(0x80 | (cp >> 12 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Decodes the escape after "\u" at `p`, moving `p` past what it used. False when four
// hexadecimal digits do not follow; `p` then stays right after the 'u'.
bool decode_unicode_escape(const char*& p, const char* end, std::string& out) {
  if (end - p < 4) return false;
  const long unit = hex4(p);
  if (unit < 0) return false;
  p += 4;
  if (unit >= 0xD800 && unit <= 0xDBFF) {
    // Only a directly following low surrogate completes the pair; otherwise the high one is
    // dropped and whatever follows is decoded on its own.
    if (end - p >= 6 && p[0] == '\\' && p[1] == 'u') {
      const long low = hex4(p + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        append_utf8(out,
                    static_cast<std::uint32_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00)));
        p += 6;
      }
    }
    return true;
  }
  if (unit < 0xDC00 || unit > 0xDFFF) append_utf8(out, static_cast<std::uint32_t>(unit));
  return true;
}

// Reads the string the cursor stands on. The text views the line when the string holds no
// escape, else `scratch`, where it is decoded.
std::optional<std::string_view> read_string_view(JsonCursor& cursor, std::string& scratch) {
  const char* const begin = cursor.bytes.data();
  const char* const end = begin + cursor.bytes.size();
  const char* p = begin + cursor.pos;
  if (p == end || *p != '"') return std::nullopt;
  ++p;
  const char* stop;
#ifdef METERLY_BYTES16
  if (end - p >= 32) {
    // Most strings of interest are short, unescaped ASCII: one classification finds the quote
    // and shows that nothing before it needs UTF-8 validation.
    const ByteClasses32 classes = classify_32(p);
    const std::uint32_t special = classes.quote | classes.backslash;
    if (special == 0) {
      stop = find_quote_or_backslash_blocks(p + 32, end);
    } else {
      const auto length = static_cast<unsigned>(__builtin_ctz(special));
      stop = p + length;
      if ((classes.quote >> length & 1) != 0) {
        cursor.pos = static_cast<std::size_t>(stop + 1 - begin);
        const std::string_view text(p, length);
        if ((classes.high & ((std::uint32_t{1} << length) - 1)) != 0 && !is_valid_utf8(text)) {
          return std::nullopt;
        }
        return text;
      }
    }
  } else {
    stop = find_quote_or_backslash_blocks(p, end);
  }
#else
  stop = find_quote_or_backslash(p, end);
#endif
  auto fail_at = [&](const char* at) {
    cursor.pos = static_cast<std::size_t>(at - begin);
    return std::nullopt;
  };
  if (stop == end) return fail_at(end);
  if (*stop == '"') {
    cursor.pos = static_cast<std::size_t>(stop + 1 - begin);
    const std::string_view text(p, static_cast<std::size_t>(stop - p));
    if (!is_valid_utf8(text)) return std::nullopt;
    return text;
  }
  scratch.assign(p, stop);
  p = stop;
  while (*p == '\\') {
    if (++p == end) return fail_at(end);
    const char letter = *p++;
    if (letter == 'u') {
      if (!decode_unicode_escape(p, end, scratch)) return fail_at(p);
    } else if (const char byte = kEscapedBytes[static_cast<unsigned char>(letter)]; byte != 0) {
      scratch.push_back(byte);
    } else {
      return fail_at(p);
    }
    stop = find_quote_or_backslash(p, end);
    if (stop == end) return fail_at(end);
    scratch.append(p, stop);
    p = stop;
  }
  cursor.pos = static_cast<std::size_t>(p + 1 - begin);
  if (!is_valid_utf8(scratch)) return std::nullopt;
  return std::string_view(scratch);
}

// An owned copy of a text read with `scratch`, moving `scratch` when the text was decoded there.
std::optional<std::string> to_owned(std::optional<std::string_view> text, std::string& scratch) {
  if (!text) return std::nullopt;
  if (text->data() == scratch.data()) return std::move(scratch);
  return std::string(*text);
}

// The integer part of a number lexeme, which is consumed whole: fraction and exponent are
// passed over, so 12.9 reads as 12 and 1e3 as 1.
std::optional<std::uint64_t> read_number(JsonCursor& cursor) {
  const char* const begin = cursor.bytes.data();
  const char* const end = begin + cursor.bytes.size();
  const char* p = begin + cursor.pos;
  const bool negative = *p == '-';
  if (negative) ++p;
  const char* const digits = p;
  p = skip_digits(p, end);
  const char* const digits_end = p;
  if (p < end && *p == '.') p = skip_digits(p + 1, end);
  if (p < end && (*p == 'e' || *p == 'E')) {
    ++p;
    if (p < end && (*p == '+' || *p == '-')) ++p;
    p = skip_digits(p, end);
  }
  cursor.pos = static_cast<std::size_t>(p - begin);
  if (negative || digits == digits_end) return std::nullopt;
  return parse_digits(digits, digits_end);
}

}  // namespace

void skip_ws(JsonCursor& cursor) {
  const char* const begin = cursor.bytes.data();
  cursor.pos = static_cast<std::size_t>(
      skip_json_space(begin + cursor.pos, begin + cursor.bytes.size()) - begin);
}

std::optional<std::string> read_string(JsonCursor& cursor) {
  std::string scratch;
  return to_owned(read_string_view(cursor, scratch), scratch);
}

std::optional<std::string_view> read_string_value_view(JsonCursor& cursor, std::string& scratch) {
  skip_ws(cursor);
  if (cursor.pos == cursor.bytes.size()) return std::nullopt;
  if (cursor.bytes[cursor.pos] == '"') return read_string_view(cursor, scratch);
  skip_value(cursor);
  return std::nullopt;
}

std::optional<std::string> read_string_value(JsonCursor& cursor) {
  std::string scratch;
  return to_owned(read_string_value_view(cursor, scratch), scratch);
}

bool begin_object(JsonCursor& cursor) {
  skip_ws(cursor);
  if (cursor.pos == cursor.bytes.size() || cursor.bytes[cursor.pos] != '{') return false;
  ++cursor.pos;
  return true;
}

std::optional<std::string_view> next_key_view_general(JsonCursor& cursor, std::string& scratch) {
  skip_ws(cursor);
  if (cursor.pos == cursor.bytes.size()) return std::nullopt;
  if (cursor.bytes[cursor.pos] == ',') {
    ++cursor.pos;
    skip_ws(cursor);
    if (cursor.pos == cursor.bytes.size()) return std::nullopt;
  }
  const char c = cursor.bytes[cursor.pos];
  if (c == '}') {
    ++cursor.pos;
    return std::nullopt;
  }
  if (c != '"') return std::nullopt;
  const std::optional<std::string_view> key = read_string_view(cursor, scratch);
  if (!key) return std::nullopt;
  skip_ws(cursor);
  if (cursor.pos < cursor.bytes.size() && cursor.bytes[cursor.pos] == ':') ++cursor.pos;
  return key;
}

std::optional<std::string> next_key(JsonCursor& cursor) {
  std::string scratch;
  return to_owned(next_key_view(cursor, scratch), scratch);
}

std::optional<std::uint64_t> read_u64_general(JsonCursor& cursor) {
  skip_ws(cursor);
  if (cursor.pos == cursor.bytes.size()) return std::nullopt;
  const char c = cursor.bytes[cursor.pos];
  if (c == '-' || is_ascii_digit(c)) return read_number(cursor);
  if (c != '"') {
    skip_value(cursor);
    return std::nullopt;
  }
  std::string scratch;
  const std::optional<std::string_view> text = read_string_view(cursor, scratch);
  if (!text) return std::nullopt;
  std::string_view digits = *text;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  if (digits.empty()) return std::nullopt;
  for (const char d : digits) {
    if (!is_ascii_digit(d)) return std::nullopt;
  }
  return parse_digits(digits.data(), digits.data() + digits.size());
}
