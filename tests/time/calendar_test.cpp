#include "time/calendar.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <optional>
#include <random>
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
};

std::string header(char version, std::uint64_t times, std::uint64_t types, std::uint32_t leaps) {
  std::string out = std::string("TZif") + version + std::string(15, '\0');
  for (const std::uint64_t count :
       {std::uint64_t{0}, std::uint64_t{0}, std::uint64_t{leaps}, times, types, std::uint64_t{4}}) {
    out += big_endian(count, 4);
  }
  return out;
}

// A version 2 file: an empty 32-bit block, then the 64-bit one and the footer.
std::string zone_file(const ZoneFileSpec& spec) {
  std::string out = header('2', 0, 1, 0) + big_endian(0, 4) + "\1" + '\0' + "ZZZ" + '\0';
  out += header('2', spec.times.size(), spec.offsets.size(), spec.leap_count);
  for (const std::int64_t t : spec.times) out += big_endian(static_cast<std::uint64_t>(t), 8);
  for (const int type : spec.types) out += static_cast<char>(type);
  for (const std::int32_t offset : spec.offsets) {
    out += big_endian(static_cast<std::uint32_t>(offset), 4) + '\0' + '\0';
  }
  out += std::string("ZZZ") + '\0';
  for (std::uint32_t i = 0; i < spec.leap_count; ++i) out += big_endian(0, 8) + big_endian(0, 4);
  return out + "\n" + spec.footer + "\n";
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

const ZoneFileSpec kMinutesApart = {
    {kDay100 + 18000, kDay100 + 18120, kDay100 + 18121, kDay100 + 18300},
    {1, 0, 1, 0},
    {0, 72000},
    "",
    0};

ZoneFileSpec with(ZoneFileSpec spec, auto change) {
  change(spec);
  return spec;
}

// Daylight saving in both hemispheres, negative and at local midnight, half- and quarter-hour
// offsets, a skipped day, and rules that change twice a day, for half an hour or for one second.
const ZoneCase kZones[] = {
    {"UTC", true, {}},
    {nullptr, true, {}},
    {"", true, {}},
    {"America/New_York", true, {}},
    {":Europe/London", true, {}},
    {"Europe/Dublin", true, {}},
    {"Asia/Kolkata", true, {}},
    {"Asia/Kathmandu", true, {}},
    {"Australia/Lord_Howe", true, {}},
    {"Australia/Sydney", true, {}},
    {"America/St_Johns", true, {}},
    {"Pacific/Chatham", true, {}},
    {"Pacific/Apia", true, {}},
    {"America/Sao_Paulo", true, {}},
    {"Africa/Casablanca", true, {}},
    {"Europe/Amsterdam", true, {}},
    {"Africa/Monrovia", true, {}},
    {"EST5EDT,M3.2.0,M11.1.0", true, {}},
    {"<-03>3<-02>,M10.1.0/0,M2.3.0/0", true, {}},
    {"IST-1GMT0,M10.5.0,M3.5.0/1", true, {}},
    {"<+0330>-3:30", true, {}},
    {"AAA0BBB-20,J100/1,J100/3", true, {}},
    {"AAA0BBB-20,J100/4,J100/25", true, {}},
    {"AAA0BBB-20,J100/1,J100/1:30", true, {}},
    {"AAA0BBB-20,J100/5,J100/25:30", true, {kDay100 + 18000, kDay100 + 19800}},
    {"AAA0BBB-20,J100/5,J100/25:00:01", true, {kDay100 + 18000, kDay100 + 18001}},
    {"AAA0BBB-20,99/5,99/25:00:01", true, {kDay100 + 18000, kDay100 + 18001}},
    {"AAA0BBB-20,M4.2.4/5,M4.2.4/25:00:01", true, {kDay100 + 18000, kDay100 + 18001}},
    // Not understood: each second goes to the C library.
    {"AAA0BBB", false, {}},
    {"AAA0BBB-20,J100/1,J100/1:30x", false, {}},
    {"Not/A_Zone", false, {}},
};

// Zone files with changes minutes apart, with a rule that follows, and damaged ones.
const FileCase kFiles[] = {
    {kMinutesApart, true, 0},
    {with(kMinutesApart, [](auto& s) { s.footer = "AAA0BBB-20,J100/5,J100/25:00:01"; }), true, 0},
    {kMinutesApart, false, 7},
    {with(kMinutesApart, [](auto& s) { s.types[1] = 2; }), false, 0},
    {with(kMinutesApart, [](auto& s) { std::swap(s.times[0], s.times[1]); }), false, 0},
    {with(kMinutesApart, [](auto& s) { s.leap_count = 1; }), false, 0},
    {with(kMinutesApart, [](auto& s) { s.footer = "AAA0BBB-20,J100"; }), false, 0},
};

void expect_agreement(const ZoneCase& zone) {
  static std::mt19937_64 random(20250115);
  std::uniform_int_distribution<std::int64_t> step(1, 4 * 3600), near(-2 * kDay, 2 * kDay),
      anywhere(days_from_civil(-1000, 1, 1) * kDay, days_from_civil(3000, 1, 1) * kDay);
  if (zone.name == nullptr) {
    unsetenv("TZ");
  } else {
    setenv("TZ", zone.name, 1);
  }
  tzset();
  // Stretches checked in advance hold the changes of 2024 and 2025, not the earlier ones.
  const ZoneChanges changes = learn_process_zone(kDay100);
  EXPECT_EQ(changes.checked.empty(), !zone.cached) << zone.name;
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
  for (const ZoneCase& zone : kZones) expect_agreement(zone);
  TempDir dir;
  for (const FileCase& file : kFiles) {
    const std::string path = dir.path() + "/zone" + std::to_string(&file - kFiles);
    const std::string bytes = zone_file(file.file);
    std::ofstream(path, std::ios::binary) << bytes.substr(0, bytes.size() - file.cut);
    std::vector<std::int64_t> edges = file.file.times;
    edges.insert(edges.end(), {kDay100 + 18001});
    expect_agreement({path.c_str(), file.cached, edges});
  }
  unsetenv("TZ");
}

}  // namespace
