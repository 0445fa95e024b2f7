#include "time/timestamp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <utility>

#include "time/calendar.h"

// The day keys and instants of every accepted form are pinned by the timestamp_forms end-to-end
// cases; here, instants before year 1000, which reports print as null, and what is refused.
TEST(timestamp, reads_far_years_and_refuses_what_is_not_a_clock_time) {
  // clang-format off
  const std::pair<std::string_view, std::int64_t> cases[] = {
      {"-001-01-01T00:00:00Z", -62198755200000}, {"0000-12-31T23:59:59Z", -62135596801000},
      {"+999-01-01T00:00:00Z", -30641760000000}};
  for (const auto& [text, ms] : cases)
    EXPECT_EQ(parse_timestamp(text).value_or(TimestampParts{}).event_time_ms, ms) << text;
  for (const std::string_view text : {"2025-01-15T10:30:0", "2025-1-15T10:30:00Z",
           "2025-01-15T10:30Z", "2025-01-15T 1:30:00", "2025-+a-15T10:30:00", "+-25-01-15T10:30:00",
           "20+5-01-15T10:30:00", "2025\xE2\x82\xAC" "01-15T10:30:00", "2025-01-15T10:30:00\x80"})
    EXPECT_FALSE(parse_timestamp(text).has_value()) << text;
  // clang-format on
}

TEST(timestamp, local_date_falls_back_to_the_utc_date_when_the_c_library_fails) {
  setenv("TZ", "America/New_York", 1);
  tzset();
  const ZoneChanges zone = load_process_zone();
  const std::int64_t far = std::int64_t{1} << 60;  // beyond the years of a struct tm
  LocalCalendar calendar(zone);
  EXPECT_EQ(local_date(far), civil_from_days(far / 86400));
  EXPECT_EQ(calendar.date_of(-far), civil_from_days(-far / 86400 - 1));
}
