// Any bytes as a timestamp, a zone file and a TZ rule: one timestamp result with or without a warm
// calendar, day keys that fit, and zone stretches that hold their instant and no change read.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>

#include "time/calendar.h"
#include "time/timestamp.h"
#include "time/zone.h"
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
  if (plain) {
    CHECK(plain->event_time_ms == cached->event_time_ms && plain->day_key == cached->day_key);
    const std::string_view day = plain->day_key, month = plain->month_key;
    CHECK(month == cached->month_key && day.size() == month.size() + 3 && day.starts_with(month));
    CHECK(month.size() >= 7 && month[month.size() - 3] == '-' && day[month.size()] == '-');
    // Printed in UTC, the instant reads back as itself while its year has four digits.
    const std::string utc = format_utc_timestamp(plain->event_time_ms);
    if (utc.size() == 24) CHECK(parse_timestamp(utc)->event_time_ms == plain->event_time_ms);
    if (size == 19 || text[19] != '.') CHECK(plain->event_time_ms % 1000 == 0);  // no fraction
  }

  ZoneChanges changes;
  if (!read_zone_file(text, changes)) changes = ZoneChanges{};
  if (const auto rule = parse_zone_rule(text)) changes.rules.push_back(*rule);
  CHECK(std::adjacent_find(changes.instants.begin(), changes.instants.end(),
                           std::greater_equal<>()) == changes.instants.end());
  std::vector<std::int64_t> probes = {0, -1, kZoneReach, -kZoneReach, 1744261200};
  for (const std::int64_t instant : changes.instants) {
    if (instant >= -kZoneReach && instant <= kZoneReach) probes.push_back(instant);
    if (probes.size() > 64) break;
  }
  for (const std::int64_t s : probes) {
    const ChangeFreeStretch stretch = change_free_stretch(changes, s);
    CHECK(stretch.first <= s && s <= stretch.last);
    const auto inside =
        std::upper_bound(changes.instants.begin(), changes.instants.end(), stretch.first);
    CHECK(inside == changes.instants.end() || *inside > stretch.last);
  }
  return 0;
}
