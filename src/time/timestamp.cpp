#include "time/timestamp.h"

#include <array>
#include <cstddef>

#include "time/calendar.h"
#include "util/integer.h"
#include "util/text.h"

namespace {

constexpr std::size_t kClockLength = 19;  // "YYYY-MM-DDTHH:MM:SS"

// A position inside a multi-byte character holds a continuation byte.
bool is_char_boundary(std::string_view text, std::size_t pos) {
  return pos >= text.size() || (static_cast<unsigned char>(text[pos]) & 0xC0) != 0x80;
}

// Reads the field of `width` bytes at `field`: all digits, or a sign followed by digits.
bool read_field(const char* field, int width, std::int64_t& value) {
  int i = 0;
  const bool negative = field[0] == '-';
  if (negative || field[0] == '+') i = 1;
  std::int64_t magnitude = 0;
  for (; i < width; ++i) {
    const unsigned digit = static_cast<unsigned char>(field[i]) - unsigned{'0'};
    if (digit > 9) return false;
    magnitude = magnitude * 10 + digit;
  }
  value = negative ? -magnitude : magnitude;
  return true;
}

// The first three digits of the fraction after byte 19, padded on the right with zeros.
std::int64_t read_millis(std::string_view text) {
  if (text.size() <= kClockLength || text[kClockLength] != '.') return 0;
  std::int64_t millis = 0;
  std::size_t pos = kClockLength + 1;
  for (const int scale : {100, 10, 1}) {
    if (pos >= text.size() || !is_ascii_digit(text[pos])) break;
    millis += (text[pos++] - '0') * scale;
  }
  return millis;
}

struct ClockFields {
  std::int64_t seconds = 0;  // since the Unix epoch
  std::int64_t millis = 0;
};

std::optional<ClockFields> read_clock(std::string_view text) {
  if (text.size() < kClockLength) return std::nullopt;
  // A field's first byte is a digit or a sign, so only the separators and the end of the seconds
  // can fall inside a multi-byte character.
  for (const std::size_t pos : {4u, 7u, 10u, 13u, 16u, 19u}) {
    if (!is_char_boundary(text, pos)) return std::nullopt;
  }
  const char* p = text.data();
  std::int64_t year, month, day, hour, minute, second;
  if (!read_field(p, 4, year) || !read_field(p + 5, 2, month) || !read_field(p + 8, 2, day) ||
      !read_field(p + 11, 2, hour) || !read_field(p + 14, 2, minute) ||
      !read_field(p + 17, 2, second)) {
    return std::nullopt;
  }
  // Every field is at most four characters, so none of this can overflow.
  const std::int64_t days = days_from_civil(year, month, day);
  return ClockFields{days * 86400 + hour * 3600 + minute * 60 + second, read_millis(text)};
}

TimestampParts make_parts(const ClockFields& clock, const CivilDate& local) {
  // Keys stay within the small-string buffer: no allocation per event.
  std::array<char, 72> buffer;  // room for three full 64-bit fields
  char* out = write_zero_padded(buffer.data(), local.year, 4);
  *out++ = '-';
  out = write_zero_padded(out, local.month, 2);
  const auto month_length = static_cast<std::size_t>(out - buffer.data());
  *out++ = '-';
  out = write_zero_padded(out, local.day, 2);
  const auto day_length = static_cast<std::size_t>(out - buffer.data());

  TimestampParts parts;
  parts.day_key.assign(buffer.data(), day_length);
  parts.event_time_ms = clock.seconds * 1000 + clock.millis;
  parts.month_key.assign(buffer.data(), month_length);
  return parts;
}

}  // namespace

std::optional<TimestampParts> parse_timestamp(std::string_view text) {
  const auto clock = read_clock(text);
  if (!clock) return std::nullopt;
  return make_parts(*clock, local_date(clock->seconds));
}

std::optional<TimestampParts> parse_timestamp(std::string_view text, LocalCalendar& calendar) {
  const auto clock = read_clock(text);
  if (!clock) return std::nullopt;
  return make_parts(*clock, calendar.date_of(clock->seconds));
}
