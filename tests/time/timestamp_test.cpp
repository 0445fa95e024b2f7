#include "time/timestamp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <random>
#include <string>
#include <tuple>

static void use_zone(const char* zone) {
  setenv("TZ", zone, 1);
  tzset();
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
      {"+999-01-01T00:00:00Z", "UTC", -30641760000000, "0999-01-01"}};
  for (const auto& [text, zone, ms, day] : cases) {
    use_zone(zone);
    LocalCalendar calendar;
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
  use_zone("America/New_York");
  const std::int64_t far = std::int64_t{1} << 60;  // beyond the years of a struct tm
  LocalCalendar calendar;
  EXPECT_EQ(local_date(far), civil_from_days(far / 86400));
  EXPECT_EQ(calendar.date_of(-far), civil_from_days(-far / 86400 - 1));
}

// Daylight saving in both hemispheres and at local midnight, half- and quarter-hour offsets, a
// skipped day, rule-based zones (two changes a day, an hour on the next day) and
// historical offsets with seconds, met by log-like steps.
TEST(local_calendar, agrees_with_localtime_r_in_every_zone) {
  std::mt19937_64 random(20250115);
  std::uniform_int_distribution<std::int64_t> step(1, 4 * 3600), near(-2 * 86400, 2 * 86400),
      anywhere(days_from_civil(-1000, 1, 1) * 86400, days_from_civil(3000, 1, 1) * 86400);
  for (const char* zone :
       {"UTC", "America/New_York", "Europe/London", "Asia/Kolkata", "Asia/Kathmandu",
        "Australia/Lord_Howe", "America/St_Johns", "Pacific/Chatham", "Pacific/Apia",
        "America/Sao_Paulo", "Africa/Casablanca", "Europe/Amsterdam", "Africa/Monrovia",
        "EST5EDT,M3.2.0,M11.1.0", "AAA0BBB-20,J100/1,J100/3", "AAA0BBB-20,J100/4,J100/25"}) {
    use_zone(zone);
    LocalCalendar calendar;
    std::int64_t s = days_from_civil(2010, 1, 1) * 86400;
    for (int i = 0; i < 20000; ++i) {
      // Two years forward, then instants anywhere from year -1000 to 3000, each with a neighbour.
      s = i < 10000 ? s + step(random) : i % 2 == 0 ? anywhere(random) : s + near(random);
      ASSERT_EQ(calendar.date_of(s), local_date(s)) << zone << " " << s;
    }
    // Minute by minute across the day-100 changes of the rule zones, both ways.
    const std::int64_t around = days_from_civil(2025, 4, 10) * 86400;
    for (std::int64_t m = -2 * 1440; m < 2 * 1440; ++m) {
      const std::int64_t t = around + (m < 0 ? -m : m - 1440) * 60;
      ASSERT_EQ(calendar.date_of(t), local_date(t)) << zone << " " << t;
    }
  }
}
