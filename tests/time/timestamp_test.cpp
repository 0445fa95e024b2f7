#include "time/timestamp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <tuple>

#include "time/calendar.h"

static ZoneChanges use_zone(const char* zone) {
  setenv("TZ", zone, 1);
  tzset();
  return load_process_zone();
}

TEST(timestamp, reads_clock_time_as_utc_and_keys_in_the_local_zone) {
  const std::tuple<std::string_view, const char*, std::int64_t, std::string> cases[] = {
      {"2025-01-15T10:30:00Z", "UTC", 1736937000000, "2025-01-15"},
      {"2025-01-15T23:30:00.5Z", "Europe/Athens", 1736983800500, "2025-01-16"},
      {"2025-01-15T23:30:00.5Z", "America/New_York", 1736983800500, "2025-01-15"},
      {"2025-01-31T23:30:00Z", "Europe/Athens", 1738366200000, "2025-02-01"},
      {"2025-01-15T10:30:00+02:00", "UTC", 1736937000000, "2025-01-15"},  // offset not applied
      {"2025/01/15 10.30.00", "UTC", 1736937000000, "2025-01-15"},        // separators not compared
      {"2025-01-15T10:30:00.1234567Z", "UTC", 1736937000123, "2025-01-15"},
      {"2025-01-15T10:30:00.", "UTC", 1736937000000, "2025-01-15"},
      {"2025-13-01T00:00:00Z", "UTC", 1767225600000, "2026-01-01"},  // ranges carry over
      {"2025-01-01T-1:00:+5Z", "UTC", 1735686005000, "2024-12-31"},
      {"-001-01-01T00:00:00Z", "UTC", -62198755200000, "-001-01-01"},
      {"0000-12-31T23:59:59Z", "UTC", -62135596801000, "0000-12-31"},
      {"+999-01-01T00:00:00Z", "UTC", -30641760000000, "0999-01-01"}};
  for (const auto& [text, zone, ms, day] : cases) {
    const ZoneChanges changes = use_zone(zone);
    LocalCalendar calendar(changes);
    const TimestampParts parts = parse_timestamp(text, calendar).value_or(TimestampParts{});
    EXPECT_EQ(std::tie(parts.event_time_ms, parts.day_key, parts.month_key),
              std::tuple(ms, day, day.substr(0, 7)))
        << text << " in " << zone;
  }
  // clang-format off
  for (const std::string_view text : {"2025-01-15T10:30:0", "2025-1-15T10:30:00Z",
           "2025-01-15T10:30Z", "2025-01-15T 1:30:00", "2025-+a-15T10:30:00", "+-25-01-15T10:30:00",
           "20+5-01-15T10:30:00", "2025\xE2\x82\xAC" "01-15T10:30:00", "2025-01-15T10:30:00\x80"})
    EXPECT_FALSE(parse_timestamp(text).has_value()) << text;
  // clang-format on
}

TEST(timestamp, days_from_civil_and_civil_from_days_are_inverse) {
  for (std::int64_t days = -2 * 146097; days < 2 * 146097; ++days) {
    const CivilDate date = civil_from_days(days);
    ASSERT_EQ(days_from_civil(date.year, date.month, date.day), days);
    ASSERT_TRUE(date.month >= 1 && date.month <= 12 && date.day >= 1 && date.day <= 31) << days;
  }
}

TEST(timestamp, local_date_falls_back_to_the_utc_date_when_the_c_library_fails) {
  const ZoneChanges zone = use_zone("America/New_York");
  const std::int64_t far = std::int64_t{1} << 60;  // beyond the years of a struct tm
  LocalCalendar calendar(zone);
  EXPECT_EQ(local_date(far), civil_from_days(far / 86400));
  EXPECT_EQ(calendar.date_of(-far), civil_from_days(-far / 86400 - 1));
}
