// parse_timestamp on any bytes: one result with or without a warm calendar, and keys that fit.
#include <cstdint>
#include <cstdlib>
#include <ctime>

#include "time/calendar.h"
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
  const auto plain = parse_timestamp(text), cached = parse_timestamp(text, calendar);
  CHECK(plain.has_value() == cached.has_value());
  if (!plain) return 0;
  CHECK(plain->event_time_ms == cached->event_time_ms && plain->day_key == cached->day_key);
  const std::string_view day = plain->day_key, month = plain->month_key;
  CHECK(month == cached->month_key && day.size() == month.size() + 3 && day.starts_with(month));
  CHECK(month.size() >= 7 && month[month.size() - 3] == '-' && day[month.size()] == '-');
  // Printed in UTC, the instant reads back as itself while its year has four digits.
  const std::string utc = format_utc_timestamp(plain->event_time_ms);
  if (utc.size() == 24) CHECK(parse_timestamp(utc)->event_time_ms == plain->event_time_ms);
  if (size == 19 || text[19] != '.') CHECK(plain->event_time_ms % 1000 == 0);  // no fraction
  return 0;
}
