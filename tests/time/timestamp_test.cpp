#include "time/timestamp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

// Sets the process's zone for one scope and puts the previous one back.
class ScopedZone {
 public:
  explicit ScopedZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) saved_ = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ScopedZone() {
    saved_ ? setenv("TZ", saved_->c_str(), 1) : unsetenv("TZ");
    tzset();
  }

 private:
  std::optional<std::string> saved_;
};

TEST(timestamp, reads_clock_time_as_utc_and_keys_in_the_local_zone) {
  struct Case {
    std::string text;
    const char* zone;
    std::int64_t ms;
    std::string day;
  };
  const std::vector<Case> cases = {
      {"2025-01-15T10:30:00Z", "UTC", 1736937000000, "2025-01-15"},
      {"2025-01-15T23:30:00.5Z", "Europe/Athens", 1736983800500, "2025-01-16"},
      {"2025-01-15T23:30:00.5Z", "America/New_York", 1736983800500, "2025-01-15"},
      {"2025-01-31T23:30:00Z", "Europe/Athens", 1738366200000, "2025-02-01"},
      {"2025-01-15T10:30:00+02:00", "UTC", 1736937000000, "2025-01-15"},  // offset not applied
      {"2025/01/15 10.30.00", "UTC", 1736937000000, "2025-01-15"},        // separators not compared
      {"2025-01-15T10:30:00.1234567Z", "UTC", 1736937000123, "2025-01-15"},
      {"2025-01-15T10:30:00.25", "UTC", 1736937000250, "2025-01-15"},
      {"2025-01-15T10:30:00.", "UTC", 1736937000000, "2025-01-15"},
      {"2025-13-01T00:00:00Z", "UTC", 1767225600000, "2026-01-01"},  // ranges carry over
      {"2025-01-32T00:00:00Z", "UTC", 1738368000000, "2025-02-01"},
      {"2025-01-15T24:00:00Z", "UTC", 1736985600000, "2025-01-16"},
      {"2025-01-01T-1:00:+5Z", "UTC", 1735686005000, "2024-12-31"},
      {"1969-12-31T23:59:59.999Z", "UTC", -1, "1969-12-31"},
      {"-001-01-01T00:00:00Z", "UTC", -62198755200000, "-001-01-01"},
      {"+999-01-01T00:00:00Z", "UTC", -30641760000000, "0999-01-01"},
      {"2025-03-09T04:59:59Z", "America/New_York", 1741496399000, "2025-03-08"},  // EST
      {"2025-03-10T03:59:59Z", "America/New_York", 1741579199000, "2025-03-09"},  // EDT
      {"2025-01-15T18:29:59Z", "Asia/Kolkata", 1736965799000, "2025-01-15"},
      {"2025-01-15T18:30:00Z", "Asia/Kolkata", 1736965800000, "2025-01-16"},
      {"2025-01-15T18:15:00Z", "Asia/Kathmandu", 1736964900000, "2025-01-16"},
      {"1850-06-01T04:56:01Z", "America/New_York", -3773761439000, "1850-05-31"},  // LMT -4:56:02
  };
  std::map<std::string, LocalCalendar> warm;  // a calendar serves one zone only
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text + " in " + c.zone);
    ScopedZone zone(c.zone);
    LocalCalendar fresh;
    for (const auto& parts : {parse_timestamp(c.text), parse_timestamp(c.text, fresh),
                              parse_timestamp(c.text, warm[c.zone])}) {
      ASSERT_TRUE(parts.has_value());
      EXPECT_EQ(parts->event_time_ms, c.ms);
      EXPECT_EQ(parts->day_key, c.day);
      EXPECT_EQ(parts->month_key, c.day.substr(0, c.day.size() - 3));
    }
  }
}

TEST(timestamp, rejects_texts_that_are_not_fixed_position_timestamps) {
  LocalCalendar calendar;
  // clang-format off
  for (const std::string text : {"", "2025-01-15T10:30:0", "2025-1-15T10:30:00Z",
           "2025-01-15T10:30Z", "2025-01-15T 1:30:00", "2025-+a-15T10:30:00", "+-25-01-15T10:30:00",
           "ABCD-01-15T10:30:00", "20+5-01-15T10:30:00", "2025\xE2\x82\xAC" "01-15T10:30:00",
           "2025-01-15T10:30:00\x80"}) {
    // clang-format on
    EXPECT_FALSE(parse_timestamp(text).has_value()) << text;
    EXPECT_FALSE(parse_timestamp(text, calendar).has_value()) << text;
  }
}

TEST(timestamp, days_from_civil_and_civil_from_days_are_inverse) {
  EXPECT_EQ(days_from_civil(1970, 1, 1), 0);
  EXPECT_EQ(days_from_civil(2000, 2, 29), 11016);
  EXPECT_EQ(days_from_civil(0, 3, 1), -719468);
  EXPECT_EQ(days_from_civil(-1, 12, 31), -719529);
  for (std::int64_t days = -2 * 146097; days < 2 * 146097; ++days) {
    const CivilDate date = civil_from_days(days);
    ASSERT_EQ(days_from_civil(date.year, date.month, date.day), days);
    ASSERT_TRUE(date.month >= 1 && date.month <= 12 && date.day >= 1 && date.day <= 31) << days;
  }
}

TEST(timestamp, local_date_falls_back_to_the_utc_date_when_the_c_library_fails) {
  ScopedZone zone("America/New_York");
  const std::int64_t far = std::int64_t{1} << 60;  // beyond the years of a struct tm
  LocalCalendar calendar;
  EXPECT_EQ(local_date(far), civil_from_days(far / 86400));
  EXPECT_EQ(calendar.date_of(-far), civil_from_days(-far / 86400 - 1));
}

// Daylight saving in both hemispheres and at local midnight, half- and quarter-hour offsets and
// DST, a skipped day, rule-based zones, and historical offsets with seconds.
TEST(local_calendar, agrees_with_localtime_r_in_every_zone) {
  std::mt19937_64 random(20250115);
  for (const char* name :
       {"UTC", "America/New_York", "Europe/London", "Asia/Kolkata", "Asia/Kathmandu",
        "Australia/Lord_Howe", "America/St_Johns", "Pacific/Chatham", "Pacific/Apia",
        "America/Sao_Paulo", "Africa/Casablanca", "Europe/Amsterdam", "Africa/Monrovia",
        "EST5EDT,M3.2.0,M11.1.0"}) {
    SCOPED_TRACE(name);
    ScopedZone zone(name);
    const std::int64_t day = 86400, start = days_from_civil(2010, 1, 1) * day;
    std::vector<std::int64_t> instants;
    // Log-like forward steps through three years, every ten minutes or so through one of them,
    // then random instants from year -1000 to 3000, each with a neighbour.
    std::uniform_int_distribution<std::int64_t> step(1, 4 * 3600), near(-2 * day, 2 * day);
    for (std::int64_t s = start; s < start + 3 * 365 * day; s += step(random))
      instants.push_back(s);
    for (std::int64_t s = start; s < start + 365 * day; s += 631) instants.push_back(s);
    std::uniform_int_distribution<std::int64_t> anywhere(days_from_civil(-1000, 1, 1) * day,
                                                         days_from_civil(3000, 1, 1) * day);
    for (int i = 0; i < 5000; ++i) {
      const std::int64_t s = anywhere(random);
      instants.insert(instants.end(), {s, s + near(random)});
    }
    LocalCalendar calendar;
    for (const std::int64_t s : instants) ASSERT_EQ(calendar.date_of(s), local_date(s)) << s;
  }
}

}  // namespace
