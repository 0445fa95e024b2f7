#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

/// The day of a year on which a zone rule changes the clock, as a TZ string writes it.
struct RuleDay {
  enum class Kind { julian, zero_based, month_week_day };  // "Jn", "n", "Mm.w.d"
  Kind kind = Kind::zero_based;
  int day = 0;  // Jn: 1 to 365, n: 0 to 365, Mm.w.d: d, 0 (Sunday) to 6
  int month = 1;
  int week = 1;                 // 5 is the last such weekday of the month
  std::int64_t seconds = 7200;  // local time of the change from that day's midnight, may be < 0
};

/// A TZ string such as "CET-1CEST,M3.5.0,M10.5.0/3". Offsets are local time minus UTC.
struct ZoneRule {
  std::int64_t standard_offset = 0;
  bool has_daylight = false;
  std::int64_t daylight_offset = 0;
  RuleDay start;
  RuleDay end;
};

/// A stretch of time over which the C library's clock keeps one offset, checked at both ends.
struct CheckedStretch {
  std::int64_t first = 0;
  std::int64_t last = 0;
  std::int64_t offset = 0;
};

/// Instants at which the local clock may change its offset from UTC: every instant at which the
/// C library's clock does, and some at which it keeps its offset. Knowing more than it does costs
/// a little time; knowing less would give wrong dates, so what cannot be read with certainty
/// leaves `known` false.
struct ZoneChanges {
  bool known = false;
  std::vector<std::int64_t> instants;  // ascending, each the first second of a possibly new offset
  std::vector<ZoneRule> rules;         // each may change the clock twice in every year
  // Instants between these two have every change and every UTC year's start among `instants`.
  std::int64_t folded_first = 1;
  std::int64_t folded_last = 0;
  // Stretches back to back, already checked; they spare each reader of recent logs the C library.
  std::vector<CheckedStretch> checked;
};

/// Adds the changes of the rules and the start of each year from `first_year` to `last_year` to
/// the instants, so that finding a stretch in those years is one search.
void fold_rule_changes(ZoneChanges& changes, std::int64_t first_year, std::int64_t last_year);

/// The stretch around an instant that holds no change, as first and last second.
struct ChangeFreeStretch {
  std::int64_t first = 0;
  std::int64_t last = 0;
};

/// Reads a TZ string the way both glibc and the BSD and macOS libraries read it; nothing when it
/// is not one, or when a library would fill in a rule from elsewhere ("EST5EDT" with no dates).
std::optional<ZoneRule> parse_zone_rule(std::string_view text);

/// Adds the transitions and the closing rule of a TZif file to `changes`; false when the file is
/// damaged or holds what the cache does not model (leap seconds).
bool read_zone_file(std::string_view bytes, ZoneChanges& changes);

/// The change-free stretch that holds `seconds`, which must lie within kZoneReach of 1970; it
/// never crosses the start of a UTC year.
ChangeFreeStretch change_free_stretch(const ZoneChanges& changes, std::int64_t seconds);

/// About ±70 million years, where every year's first second fits comfortably in 64 bits.
inline constexpr std::int64_t kZoneReach = std::int64_t{1} << 51;

/// Whether musl reads a TZ value as a rule and never as a file name: unless it starts with ':' or
/// has a '/' before any ','. Other libraries look for a file first.
bool musl_reads_as_rule_only(std::string_view tz);

/// The changes of the zone the C library uses for this process, from TZ and the zone files.
ZoneChanges load_process_zone();
