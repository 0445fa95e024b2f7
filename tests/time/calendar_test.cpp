#include "time/calendar.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/process.h"

namespace {

constexpr std::int64_t kDay = 86400;
// 2025-04-10, day 100 of the year the rule zones below change on.
const std::int64_t kDay100 = days_from_civil(2025, 4, 10) * kDay;

std::string big_endian(std::uint64_t value, int size) {
  std::string bytes;
  for (int i = size - 1; i >= 0; --i) bytes += static_cast<char>(value >> (8 * i) & 0xFF);
  return bytes;
}

struct ZoneFileSpec {
  std::vector<std::int64_t> times;
  std::vector<int> types;  // index of each transition's offset
  std::vector<std::int32_t> offsets;
  std::string footer;
  std::uint32_t leap_count = 0;
  char version = '2';  // '\0': one block of 32-bit times and no closing rule
};

std::string header(char version, std::uint64_t times, std::uint64_t types, std::uint32_t leaps) {
  std::string out = std::string("TZif") + version + std::string(15, '\0');
  for (const std::uint64_t count :
       {std::uint64_t{0}, std::uint64_t{0}, std::uint64_t{leaps}, times, types, std::uint64_t{4}}) {
    out += big_endian(count, 4);
  }
  return out;
}

// A version 2 file holds an empty 32-bit block, then the 64-bit one and the footer.
std::string zone_file(const ZoneFileSpec& spec) {
  const bool v1 = spec.version == '\0';
  const int time_size = v1 ? 4 : 8;
  std::string out = v1 ? "" : header('2', 0, 1, 0) + big_endian(0, 4) + "\1" + '\0' + "ZZZ" + '\0';
  out += header(spec.version, spec.times.size(), spec.offsets.size(), spec.leap_count);
  for (const std::int64_t t : spec.times)
    out += big_endian(static_cast<std::uint64_t>(t), time_size);
  for (const int type : spec.types) out += static_cast<char>(type);
  for (const std::int32_t offset : spec.offsets) {
    out += big_endian(static_cast<std::uint32_t>(offset), 4) + '\0' + '\0';
  }
  out += std::string("ZZZ") + '\0';
  for (std::uint32_t i = 0; i < spec.leap_count; ++i)
    out += big_endian(0, time_size) + big_endian(0, 4);
  return v1 ? out : out + "\n" + spec.footer + "\n";
}

std::int64_t offset_at(std::int64_t t) {
  const auto time = static_cast<std::time_t>(t);
  std::tm out{};
  localtime_r(&time, &out);
  return days_from_civil(out.tm_year + 1900, out.tm_mon + 1, out.tm_mday) * kDay +
         out.tm_hour * 3600 + out.tm_min * 60 + out.tm_sec - t;
}

// The first second of every offset change in 2024 and 2025 that lasts a quarter of an hour.
std::vector<std::int64_t> changes_seen_by_the_c_library() {
  std::vector<std::int64_t> found;
  const std::int64_t end = days_from_civil(2026, 1, 1) * kDay;
  for (std::int64_t t = days_from_civil(2024, 1, 1) * kDay; t < end; t += 900) {
    std::int64_t before = t, after = t + 900;
    if (offset_at(before) == offset_at(after)) continue;
    while (after - before > 1) {
      const std::int64_t middle = before + (after - before) / 2;
      (offset_at(middle) == offset_at(before) ? before : after) = middle;
    }
    found.push_back(after);
  }
  return found;
}

struct ZoneCase {
  const char* name;                 // TZ, nullptr for none
  bool cached;                      // whether the calendar keeps trusting what it read of the zone
  std::vector<std::int64_t> edges;  // first seconds of offset periods shorter than the scan step
};

struct FileCase {
  ZoneFileSpec file;
  bool cached;
  std::size_t cut;  // bytes cut off the end of the file
};

const auto with = [](ZoneFileSpec spec, auto change) { return change(spec), spec; };

// clang-format off
const ZoneFileSpec kMinutesApart = {{kDay100 + 18000, kDay100 + 18120, kDay100 + 18121,
    kDay100 + 18300}, {1, 0, 1, 0}, {0, 72000}, "", 0};
// Daylight saving in both hemispheres, negative and at local midnight, half- and quarter-hour
// offsets, a skipped day, and rules that change twice a day, for half an hour or for one second.
const char* const kCachedZones[] = {"UTC", "", "America/New_York", ":Europe/London",
    "Europe/Dublin", "Asia/Kolkata", "Asia/Kathmandu", "Australia/Lord_Howe", "Australia/Sydney",
    "America/St_Johns", "Pacific/Chatham", "Pacific/Apia", "America/Sao_Paulo", "Africa/Casablanca",
    "Europe/Amsterdam", "Africa/Monrovia", "EST5EDT,M3.2.0,M11.1.0",
    "<-03>3<-02>,M10.1.0/0,M2.3.0/0", "IST-1GMT0,M10.5.0,M3.5.0/1", "<+0330>-3:30",
    "AAA0BBB-20,J100/1,J100/3", "AAA0BBB-20,J100/4,J100/25", "AAA0BBB-20,J100/1,J100/1:30",
    "AAA-10BBB+10,M6.3.2/-5,M6.3.2/-1:30",
    // Half-hour periods on leap days and month ends, in both day counts and in weeks.
    "AAA0BBB-20,J59/5,J59/25:30", "AAA0BBB-20,J60/5,J60/25:30", "AAA0BBB-20,J61/5,J61/25:30",
    "AAA0BBB-20,J365/5,J365/25:30", "AAA0BBB-20,58/5,58/25:30", "AAA0BBB-20,59/5,59/25:30",
    "AAA0BBB-20,365/5,365/25:30", "AAA0BBB-20,M2.5.4/5,M2.5.4/25:30",
    "AAA0BBB-20,M2.4.4/5,M2.4.4/25:30", "AAA0BBB-20,M1.1.0/5,M1.1.0/25:30",
    "AAA0BBB-20,M12.5.6/5,M12.5.6/25:30"};
// Not understood: each second goes to the C library.
const char* const kUncachedZones[] = {"AAA0BBB", "AAA0BBB-20,J100/1,J100/1:30x", "Not/A_Zone"};
// Offset periods shorter than the scan step, with their first seconds.
const ZoneCase kShortPeriods[] = {
    {"AAA0BBB-20,J100/5,J100/25:30", true, {kDay100 + 18000, kDay100 + 19800}},
    {"AAA0BBB-20,J100/5,J100/25:00:01", true, {kDay100 + 18000, kDay100 + 18001}},
    {"AAA0BBB-20,99/5,99/25:00:01", true, {kDay100 + 18000, kDay100 + 18001}},
    {"AAA0BBB-20,M4.2.4/5,M4.2.4/25:00:01", true, {kDay100 + 18000, kDay100 + 18001}}};

// Zone files with changes minutes apart, with a rule that follows, and damaged ones.
const FileCase kFiles[] = {{kMinutesApart, true, 0},
    {with(kMinutesApart, [](auto& s) { s.footer = "AAA0BBB-20,J100/5,J100/25:00:01"; }), true, 0},
    {kMinutesApart, false, 1}, {kMinutesApart, false, 7},
    {kMinutesApart, false, 42},  // into the transition times
    {with(kMinutesApart, [](auto& s) { s.types[1] = 2; }), false, 0},
    {with(kMinutesApart, [](auto& s) { std::swap(s.times[0], s.times[1]); }), false, 0},
    {with(kMinutesApart, [](auto& s) { s.times[1] = s.times[0]; }), false, 0},
    {with(kMinutesApart, [](auto& s) { s.leap_count = 1; }), false, 0},
    {with(kMinutesApart, [](auto& s) { s.version = '\0'; }), true, 0},
    {with(kMinutesApart, [](auto& s) { s.version = '\0'; }), false, 20},
    {with(kMinutesApart, [](auto& s) { s.version = '\0', s.leap_count = 1; }), false, 0},
    {with(kMinutesApart, [](auto& s) { s.footer = "AAA0BBB-20,J100"; }), false, 0}};
// clang-format on

// Every stretch said to be free of changes keeps one offset in the C library, sampled at both
// ends and every quarter of an hour; the rules below never keep an offset for less than that.
void expect_stretches_hold(const std::string& text, const ZoneChanges& changes, std::int64_t year) {
  const std::int64_t end = days_from_civil(year + 1, 1, 1) * kDay;
  for (std::int64_t t = days_from_civil(year, 1, 1) * kDay; t < end;) {
    const ChangeFreeStretch stretch = change_free_stretch(changes, t);
    ASSERT_LE(stretch.first, t) << text;
    ASSERT_GE(stretch.last, t) << text;
    const std::int64_t offset = offset_at(stretch.last);
    for (std::int64_t s = stretch.first; s < stretch.last; s += 900) {
      ASSERT_EQ(offset_at(s), offset) << text << " stretch from " << t << " to " << stretch.last;
    }
    t = stretch.last + 1;
  }
}

void expect_agreement(const ZoneCase& zone) {
  static std::mt19937_64 random(20250115);
  std::uniform_int_distribution<std::int64_t> step(1, 4 * 3600), near(-2 * kDay, 2 * kDay),
      anywhere(days_from_civil(-1000, 1, 1) * kDay, days_from_civil(3000, 1, 1) * kDay);
  zone.name == nullptr ? unsetenv("TZ") : setenv("TZ", zone.name, 1);
  tzset();
  // Stretches checked in advance hold the changes of 2024 and 2025, not the earlier ones.
  const ZoneChanges changes = learn_process_zone(kDay100);
  EXPECT_EQ(changes.checked.empty(), !zone.cached) << zone.name;
  // Leap and common years near the checked ones, and far from them.
  for (const std::int64_t year : {2024, 2025, 2100, 2400}) {
    if (zone.cached) expect_stretches_hold(zone.name ? zone.name : "", changes, year);
  }
  LocalCalendar calendar(changes);
  std::optional<std::int64_t> wrong;
  const auto check = [&](std::int64_t t) {
    if (!wrong && calendar.date_of(t) != local_date(t)) wrong = t;
  };
  std::int64_t s = days_from_civil(2010, 1, 1) * kDay;
  for (int i = 0; i < 20000; ++i) {
    // Two years forward, then instants anywhere from year -1000 to 3000, each with a neighbour.
    s = i < 10000 ? s + step(random) : i % 2 == 0 ? anywhere(random) : s + near(random);
    check(s);
  }
  // Both sides of every change, met forwards, backwards and from far away.
  std::vector<std::int64_t> edges = changes_seen_by_the_c_library();
  edges.insert(edges.end(), zone.edges.begin(), zone.edges.end());
  std::sort(edges.begin(), edges.end());
  for (int pass = 0; pass < 3; ++pass) {
    if (pass == 1) std::reverse(edges.begin(), edges.end());
    if (pass == 2) std::shuffle(edges.begin(), edges.end(), random);
    for (const std::int64_t edge : edges) {
      for (const std::int64_t t : {edge - 1, edge, edge + 1}) check(t);
      if (pass == 2) check(anywhere(random));
    }
  }
  // Minute by minute across day 100, both ways.
  for (std::int64_t m = -2 * 1440; m < 2 * 1440; ++m) check(kDay100 + (m < 0 ? -m : m - 1440) * 60);
  const char* name = zone.name == nullptr ? "(unset)" : zone.name;
  EXPECT_FALSE(wrong.has_value()) << name << " at " << *wrong;
  EXPECT_EQ(calendar.trusts_zone(), zone.cached) << name;
}

TEST(local_calendar, agrees_with_localtime_r_in_every_zone) {
  expect_agreement({nullptr, true, {}});  // TZ unset
  for (const char* name : kCachedZones) expect_agreement({name, true, {}});
  for (const char* name : kUncachedZones) expect_agreement({name, false, {}});
  for (const ZoneCase& zone : kShortPeriods) expect_agreement(zone);
  TempDir dir;
  for (const FileCase& file : kFiles) {
    const std::string path = dir.path() + "/zone" + std::to_string(&file - kFiles);
    const std::string bytes = zone_file(file.file);
    std::ofstream(path, std::ios::binary) << bytes.substr(0, bytes.size() - file.cut);
    std::vector<std::int64_t> edges = file.file.times;
    edges.insert(edges.end(), {kDay100 + 18001});
    expect_agreement({path.c_str(), file.cached, edges});
  }
  // A rule whose name leads through a file or a link loop in the zone directory is still a rule.
  setenv("TZDIR", dir.path().c_str(), 1);
  write_file(dir.path() + "/AAA0BBB-20,J100", "");
  ASSERT_EQ(symlink("AAA0BBB-20,J99", (dir.path() + "/AAA0BBB-20,J99").c_str()), 0);
  for (const char* rule : {"AAA0BBB-20,J100/5,J100/25:30", "AAA0BBB-20,J99/5,J99/25:30"})
    expect_agreement({rule, true, {}});
  unsetenv("TZDIR");
  unsetenv("TZ");
}

// Stretches checked in advance answer as they stand, from their first second to their last and
// within the zone's reach only; the C library answers elsewhere, and everywhere once it reads a
// stretch of the zone otherwise. The stretches here hold offsets that the C library never reads,
// so each date tells who gave it.
TEST(local_calendar, answers_from_checked_stretches_only_within_their_bounds) {
  // An instant and the offset of the checked stretch that must answer, if any.
  using Query = std::pair<std::int64_t, std::optional<std::int64_t>>;
  const auto expect_dates = [](const std::vector<CheckedStretch>& checked,
                               std::vector<Query> queries, bool trusted,
                               std::vector<std::int64_t> instants = {}) {
    ZoneChanges zone;
    zone.known = true;
    zone.checked = checked;
    // The zone changes where the stretches start and end, as it would to have them.
    for (const auto& s : checked) instants.insert(instants.end(), {s.first, s.last + 1});
    std::sort(instants.begin(), instants.end());
    zone.instants = instants;
    for (int pass = 0; pass < (trusted ? 2 : 1); ++pass) {  // forwards and backwards
      LocalCalendar calendar(zone);
      for (const auto& [t, offset] : queries)
        EXPECT_EQ(calendar.date_of(t), offset ? utc_date(t + *offset) : local_date(t)) << t;
      EXPECT_EQ(calendar.trusts_zone(), trusted);
      std::reverse(queries.begin(), queries.end());
    }
  };
  setenv("TZ", "UTC", 1);
  tzset();
  // A day is worked out once for all its seconds, and a stretch once for all its days.
  const ZoneChanges utc = learn_process_zone(kDay100);
  LocalCalendar calendar(utc);
  calendar.date_of(kDay100 + kDay / 2);  // day 100 and its stretch, the UTC year
  for (std::int64_t t = kDay100; t < kDay100 + kDay; ++t) calendar.date_of(t);
  calendar.date_of(days_from_civil(2025, 1, 1) * kDay);  // two more days of the same stretch
  calendar.date_of(days_from_civil(2026, 1, 1) * kDay - 1);
  EXPECT_EQ(calendar.lookups(), 4u);
  const std::int64_t west = -10 * 3600, east = 5 * 3600, first = kDay100 - kDay + 5 * 3600,
                     middle = first + 5 * kDay + 16 * 3600, last = first + 10 * kDay + 17 * 3600;
  // clang-format off
  expect_dates({{first, middle, west}, {middle + 1, last, east}}, {{first - 1, {}}, {first, west},
      {middle, west}, {middle + 1, east}, {last, east}, {last + 1, {}}}, true);
  // To the next local midnight at the reach's edges.
  const std::int64_t up = kDay - kZoneReach % kDay, down = kDay - (kDay - kZoneReach % kDay) % kDay;
  expect_dates({{kZoneReach - kDay, kZoneReach, up}, {kZoneReach + 1, kZoneReach + kDay, up}},
               {{kZoneReach, up}, {kZoneReach + 1, {}}}, true);
  expect_dates({{-kZoneReach - kDay, -kZoneReach - 1, down}, {-kZoneReach, -kZoneReach + kDay, down}},
               {{-kZoneReach - 1, {}}, {-kZoneReach, down}}, true);
  // clang-format on
  // A zone said to keep one offset through March 2025 in New York: seen at once to be misread.
  setenv("TZ", "America/New_York", 1);
  tzset();
  expect_dates({{first, last, east}}, {{days_from_civil(2025, 3, 15) * kDay, {}}, {first, {}}},
               false, {days_from_civil(2025, 3, 1) * kDay, days_from_civil(2025, 4, 1) * kDay});
  unsetenv("TZ");
}

std::string describe_day(const RuleDay& day) {
  const std::string n = std::to_string(day.day), at = "/" + std::to_string(day.seconds);
  if (day.kind == RuleDay::Kind::julian) return "J" + n + at;
  if (day.kind == RuleDay::Kind::zero_based) return n + at;
  return "M" + std::to_string(day.month) + "." + std::to_string(day.week) + "." + n + at;
}

std::string describe(const std::optional<ZoneRule>& rule) {
  if (!rule) return "none";
  std::string out = std::to_string(rule->standard_offset);
  if (!rule->has_daylight) return out;
  return out + " " + std::to_string(rule->daylight_offset) + " " + describe_day(rule->start) + " " +
         describe_day(rule->end);
}

TEST(zone_rule, reads_what_every_c_library_reads_alike_and_nothing_else) {
  // clang-format off
  const std::pair<const char*, const char*> cases[] = {{"UTC0", "0"}, {"JST-9", "32400"},
      {"ZZZ+24", "-86400"}, {"<+0330>-3:30", "12600"}, {"AAA0BBB,0/0,365/0", "0 3600 0/0 365/0"},
      {"EST5EDT,M3.2.0,M11.1.0", "-18000 -14400 M3.2.0/7200 M11.1.0/7200"},
      {"<-03>3<-02>,M10.1.0/0,M2.3.0/0", "-10800 -7200 M10.1.0/0 M2.3.0/0"},
      {"IST-1GMT0,M10.5.0,M3.5.0/1", "3600 0 M10.5.0/7200 M3.5.0/3600"},
      {"AAA-1:02:03BBB,M1.1.6/-1,M12.5.6/+167", "3723 7323 M1.1.6/-3600 M12.5.6/601200"},
      {"AAA0BBB-20,J100/5,J100/25:30:59", "0 72000 J100/18000 J100/91859"},
      {"zza0bbb-20,J1,J365", "0 72000 J1/7200 J365/7200"}, {"<-03>3", "-10800"}};
  // clang-format on
  for (const auto& [text, want] : cases) EXPECT_EQ(describe(parse_zone_rule(text)), want) << text;
  // Not a rule both families read alike, or not one at all. Most faults are followed by what
  // reads as a rule day, so a parser that stopped at the fault without failing would take it.
  std::istringstream faults(
      "AA0 AAA AAA25 AAA1:60 AAA1:00:60 AAA0BBB AAA0BBB,M3.2.0 AAA0BBB,M3.2.0,M11.1.0, "
      "AAA0BBB-20J1,J2 AAA0BBB,M13,J1 AAA0BBB,M0.1.0,J1 AAA0BBB,M012.1.0,J1 AAA0BBB,M3,J1 "
      "AAA0BBB,M3.0.0,J1 AAA0BBB,M3.6,J1 AAA0BBB,M3.1,J1 AAA0BBB,M3.1.7,J1 AAA0BBB,M3.1.0x,J1 "
      "AAA0BBB,M3..0,J1 AAA0BBB,J0,J1 AAA0BBB,J366,J1 AAA0BBB,J,J1 AAA0BBB,366,J1 AAA0BBB,x,J1 "
      "AAA0BBB,J1/168,J1 AAA0BBB,J1/1:60,J1 AAA0BBB,J1/1:00:60,J1 AAA0BBB,J1/,J1 <+03 <+>0 "
      "<+0!>0 1AAA0 5 EST5,M3.2.0,M11.1.0 AAA0BBB,M3x1.0,J1 AAA0BBB,M3.1x0,J1 ");
  EXPECT_EQ(describe(parse_zone_rule("")), "none");
  for (std::string text; faults >> text;)
    EXPECT_EQ(describe(parse_zone_rule(text)), "none") << text;
  // Where musl takes a value as a rule without looking for a file of that name, and where not.
  for (const char* tz : {"UTC", "A,B/C"}) EXPECT_TRUE(musl_reads_as_rule_only(tz)) << tz;
  for (const char* tz : {":UTC", "Europe/Paris"}) EXPECT_FALSE(musl_reads_as_rule_only(tz)) << tz;
}

}  // namespace
