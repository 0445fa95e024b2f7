#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "time/timestamp.h"
#include "time/zone.h"

namespace {

constexpr std::int64_t kDay = 86400;

std::string describe_day(const RuleDay& day) {
  std::string out;
  switch (day.kind) {
    case RuleDay::Kind::julian:
      out = "J" + std::to_string(day.day);
      break;
    case RuleDay::Kind::zero_based:
      out = std::to_string(day.day);
      break;
    case RuleDay::Kind::month_week_day:
      out = "M" + std::to_string(day.month) + "." + std::to_string(day.week) + "." +
            std::to_string(day.day);
      break;
  }
  return out + "/" + std::to_string(day.seconds);
}

std::string describe(const std::optional<ZoneRule>& rule) {
  if (!rule) return "none";
  std::string out = std::to_string(rule->standard_offset);
  if (!rule->has_daylight) return out;
  return out + " " + std::to_string(rule->daylight_offset) + " " + describe_day(rule->start) + " " +
         describe_day(rule->end);
}

TEST(zone_rule, reads_what_every_c_library_reads_alike_and_nothing_else) {
  const std::pair<const char*, const char*> cases[] = {
      {"UTC0", "0"},
      {"JST-9", "32400"},
      {"AAA+24", "-86400"},
      {"<+0330>-3:30", "12600"},
      {"<-03>3", "-10800"},
      {"EST5EDT,M3.2.0,M11.1.0", "-18000 -14400 M3.2.0/7200 M11.1.0/7200"},
      {"<-03>3<-02>,M10.1.0/0,M2.3.0/0", "-10800 -7200 M10.1.0/0 M2.3.0/0"},
      {"IST-1GMT0,M10.5.0,M3.5.0/1", "3600 0 M10.5.0/7200 M3.5.0/3600"},
      {"AAA-1:02:03BBB,M1.1.6/-1,M12.5.6/+167", "3723 7323 M1.1.6/-3600 M12.5.6/601200"},
      {"AAA0BBB-20,J100/5,J100/25:30:59", "0 72000 J100/18000 J100/91859"},
      {"aaa0bbb-20,J1,J365", "0 72000 J1/7200 J365/7200"},
      {"AAA0BBB,0/0,365/0", "0 3600 0/0 365/0"},
      // Not a rule both families read alike, or not a rule at all.
      {"", "none"},
      {"AA0", "none"},
      {"AAA", "none"},
      {"AAA25", "none"},
      {"AAA1:60", "none"},
      {"AAA1:00:60", "none"},
      {"AAA0BBB", "none"},
      {"AAA0BBB,M3.2.0", "none"},
      {"AAA0BBB,M3.2.0,M11.1.0,", "none"},
      {"AAA0BBB-20J1,J2", "none"},
      // Each fault is followed by what would read as a rule day, so a parser that stopped at
      // the fault without failing would take it.
      {"AAA0BBB,M13,J1", "none"},
      {"AAA0BBB,M0,J1", "none"},
      {"AAA0BBB,M012.1.0,J1", "none"},
      {"AAA0BBB,M3,J1", "none"},
      {"AAA0BBB,M3.0,J1", "none"},
      {"AAA0BBB,M3.6,J1", "none"},
      {"AAA0BBB,M3.1,J1", "none"},
      {"AAA0BBB,M3.1.7,J1", "none"},
      {"AAA0BBB,M3.1.0x,J1", "none"},
      {"AAA0BBB,M3..0,J1", "none"},
      {"AAA0BBB,J0,J1", "none"},
      {"AAA0BBB,J366,J1", "none"},
      {"AAA0BBB,J,J1", "none"},
      {"AAA0BBB,366,J1", "none"},
      {"AAA0BBB,x,J1", "none"},
      {"AAA0BBB,J1/168,J1", "none"},
      {"AAA0BBB,J1/1:60,J1", "none"},
      {"AAA0BBB,J1/1:00:60,J1", "none"},
      {"AAA0BBB,J1/,J1", "none"},
      {"<+03", "none"},
      {"<+>0", "none"},
      {"<+0!>0", "none"},
      {"1AAA0", "none"},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(describe(parse_zone_rule(text)), expected) << text;
  }
}

std::int64_t offset_at(std::int64_t t) {
  const auto time = static_cast<std::time_t>(t);
  std::tm out{};
  localtime_r(&time, &out);
  return days_from_civil(out.tm_year + 1900, out.tm_mon + 1, out.tm_mday) * kDay +
         out.tm_hour * 3600 + out.tm_min * 60 + out.tm_sec - t;
}

// Every stretch said to be free of changes keeps one offset in the C library, sampled at both
// ends and every quarter of an hour; the rules below never keep an offset for less than that.
void expect_stretches_hold(const char* text, const ZoneChanges& changes, std::int64_t year) {
  const std::int64_t end = days_from_civil(year + 1, 1, 1) * kDay;
  for (std::int64_t t = days_from_civil(year, 1, 1) * kDay; t < end;) {
    const ChangeFreeStretch stretch = change_free_stretch(changes, t);
    ASSERT_LE(stretch.first, t) << text;
    ASSERT_GE(stretch.last, t) << text;
    const std::int64_t offset = offset_at(stretch.last);
    for (std::int64_t s = t; s < stretch.last; s += 900) {
      ASSERT_EQ(offset_at(s), offset) << text << " stretch from " << t << " to " << stretch.last;
    }
    t = stretch.last + 1;
  }
}

TEST(zone_rule, every_change_of_the_c_library_starts_a_stretch) {
  // Half-hour daylight periods on leap days and month ends, in both day counts and in weeks,
  // read with offsets far enough apart to move the date.
  const char* rules[] = {
      "EST5EDT,M3.2.0,M11.1.0",
      "<-03>3<-02>,M10.1.0/0,M2.3.0/0",
      "IST-1GMT0,M10.5.0,M3.5.0/1",
      "AAA0BBB-20,J59/5,J59/25:30",
      "AAA0BBB-20,J60/5,J60/25:30",
      "AAA0BBB-20,J61/5,J61/25:30",
      "AAA0BBB-20,J365/5,J365/25:30",
      "AAA0BBB-20,58/5,58/25:30",
      "AAA0BBB-20,59/5,59/25:30",
      "AAA0BBB-20,365/5,365/25:30",
      "AAA0BBB-20,M2.5.4/5,M2.5.4/25:30",
      "AAA0BBB-20,M2.4.4/5,M2.4.4/25:30",
      "AAA0BBB-20,M1.1.0/5,M1.1.0/25:30",
      "AAA0BBB-20,M12.5.6/5,M12.5.6/25:30",
      "AAA-10BBB+10,M6.3.2/-5,M6.3.2/-1:30",
  };
  for (const char* text : rules) {
    setenv("TZ", text, 1);
    tzset();
    ZoneChanges changes;
    const std::optional<ZoneRule> rule = parse_zone_rule(text);
    ASSERT_TRUE(rule.has_value()) << text;
    changes.rules.push_back(*rule);
    fold_rule_changes(changes, 2022, 2027);
    // Leap and common years inside the folded years, and far outside them.
    for (const std::int64_t year : {2024, 2025, 1972, 2100, 2400}) {
      expect_stretches_hold(text, changes, year);
    }
  }
  unsetenv("TZ");
  tzset();
}

}  // namespace
