// parse_timestamp on any bytes: no crash or undefined behaviour, the same result through a warm
// LocalCalendar, and keys and instant that fit together.
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string_view>

#include "time/timestamp.h"
#include "util/format.h"

#define CHECK(condition) ((condition) ? void() : std::abort())

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("TZ", "Europe/Dublin", 0);  // daylight saving and a historical offset with seconds
  tzset();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static LocalCalendar calendar;  // kept across inputs: a stale day would show as a mismatch
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto plain = parse_timestamp(text);
  const auto cached = parse_timestamp(text, calendar);
  CHECK(plain.has_value() == cached.has_value());
  if (!plain) return 0;
  CHECK(size >= 19 && plain->event_time_ms == cached->event_time_ms);
  CHECK(plain->day_key == cached->day_key && plain->month_key == cached->month_key);

  // "Y-MM" is the day key without its "-DD".
  const std::string_view day = plain->day_key, month = plain->month_key;
  CHECK(day.size() == month.size() + 3 && day.starts_with(month) && day[month.size()] == '-');
  CHECK(month.size() >= 7 && month[month.size() - 3] == '-');

  // Printed back in UTC, the instant parses to itself while its year fits four characters.
  const std::string utc = format_utc_timestamp(plain->event_time_ms);
  if (utc.size() == 24) CHECK(parse_timestamp(utc)->event_time_ms == plain->event_time_ms);
  // Without a fraction there are no milliseconds.
  if (size == 19 || text[19] != '.') CHECK(plain->event_time_ms % 1000 == 0);
  return 0;
}
