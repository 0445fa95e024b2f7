#include <algorithm>
#include <ctime>
#include <optional>

#include "time/calendar.h"
#include "time/timestamp.h"
#include "util/integer.h"

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

// A local wall-clock reading: the date and the second of that day.
struct LocalClock {
  CivilDate date;
  std::int64_t second_of_day = 0;
};

std::optional<LocalClock> read_local_clock(std::int64_t seconds) {
  const auto t = static_cast<std::time_t>(seconds);
  // A narrow time_t cannot hold the instant; treat that as the C library failing.
  if (static_cast<std::int64_t>(t) != seconds) return std::nullopt;
  std::tm out{};
  if (localtime_r(&t, &out) == nullptr) return std::nullopt;
  return LocalClock{{out.tm_year + std::int64_t{1900}, out.tm_mon + std::int64_t{1}, out.tm_mday},
                    out.tm_hour * std::int64_t{3600} + out.tm_min * 60 + out.tm_sec};
}

// Local clock minus UTC at an instant; nothing when it is unknown. A leap second, read as
// second 60, leaves the ends of its stretch disagreeing, so the C library is asked instead.
std::optional<std::int64_t> utc_offset(std::int64_t seconds) {
  const auto clock = read_local_clock(seconds);
  if (!clock) return std::nullopt;
  const std::int64_t days = days_from_civil(clock->date.year, clock->date.month, clock->date.day);
  return days * kSecondsPerDay + clock->second_of_day - seconds;
}

enum class Check { agreed, unknown, disagreed };

// The stretch around `seconds` with its offset, as long as the C library reads one offset at both
// of its ends.
Check check_stretch(const ZoneChanges& zone, std::int64_t seconds, CheckedStretch& checked) {
  const ChangeFreeStretch stretch = change_free_stretch(zone, seconds);
  const std::optional<std::int64_t> first = utc_offset(stretch.first);
  const std::optional<std::int64_t> last = utc_offset(stretch.last);
  if (!first || !last) return Check::unknown;
  // Otherwise the zone changes where its files or rule say it does not: they were misread.
  if (*first != *last) return Check::disagreed;
  checked = {stretch.first, stretch.last, *first};
  return Check::agreed;
}

const ZoneChanges& process_zone() {
  static const ZoneChanges zone = learn_process_zone(std::time(nullptr));
  return zone;
}

}  // namespace

std::int64_t days_from_civil(std::int64_t year, std::int64_t month, std::int64_t day) {
  const std::int64_t y = month <= 2 ? year - 1 : year;
  const std::int64_t era = floor_div(y, 400);
  const std::int64_t yoe = y - era * 400;
  const std::int64_t shifted_month = month <= 2 ? month + 9 : month - 3;
  const std::int64_t doy = floor_div(153 * shifted_month + 2, 5) + day - 1;
  const std::int64_t doe = 365 * yoe + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

CivilDate civil_from_days(std::int64_t days) {
  const std::int64_t z = days + 719468;
  const std::int64_t era = floor_div(z, 146097);
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
  return {yoe + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

CivilDate local_date(std::int64_t seconds) {
  if (const auto clock = read_local_clock(seconds)) return clock->date;
  return utc_date(seconds);
}

CivilDate utc_date(std::int64_t seconds) {
  return civil_from_days(floor_div(seconds, kSecondsPerDay));
}

LocalCalendar::LocalCalendar() : LocalCalendar(process_zone()) {}

LocalCalendar::LocalCalendar(const ZoneChanges& zone) : zone_(&zone), trusted_(zone.known) {}

CivilDate LocalCalendar::date_of(std::int64_t seconds) {
  if (day_first_ <= seconds && seconds <= day_last_) return day_;
  ++lookups_;
  if (!cover(seconds)) {
    // Consecutive events often share a second.
    day_first_ = day_last_ = seconds;
    day_ = local_date(seconds);
    return day_;
  }
  const std::int64_t days = floor_div(seconds + span_offset_, kSecondsPerDay);
  day_first_ = std::max(span_first_, days * kSecondsPerDay - span_offset_);
  day_last_ = std::min(span_last_, (days + 1) * kSecondsPerDay - 1 - span_offset_);
  day_ = civil_from_days(days);
  return day_;
}

bool LocalCalendar::cover(std::int64_t seconds) {
  if (span_first_ <= seconds && seconds <= span_last_) return true;
  ++lookups_;
  if (!trusted_ || seconds < -kZoneReach || seconds > kZoneReach) return false;
  const std::vector<CheckedStretch>& checked = zone_->checked;
  CheckedStretch stretch;
  if (!checked.empty() && checked.front().first <= seconds && seconds <= checked.back().last) {
    const auto starts_after = [](std::int64_t s, const CheckedStretch& c) { return s < c.first; };
    stretch = *(std::upper_bound(checked.begin(), checked.end(), seconds, starts_after) - 1);
  } else {
    const Check check = check_stretch(*zone_, seconds, stretch);
    if (check == Check::disagreed) trusted_ = false;
    if (check != Check::agreed) return false;
  }
  span_first_ = stretch.first;
  span_last_ = stretch.last;
  span_offset_ = stretch.offset;
  return true;
}

ZoneChanges learn_process_zone(std::int64_t now) {
  ZoneChanges zone = load_process_zone();
  if (!zone.known) return zone;
  // Logs of the last few years, and a clock set a little wrong.
  now = std::clamp(now, -kZoneReach / 2, kZoneReach / 2);
  for (std::int64_t t = now - 5 * 366 * kSecondsPerDay; t <= now + 366 * kSecondsPerDay;) {
    CheckedStretch stretch;
    const Check check = check_stretch(zone, t, stretch);
    if (check != Check::agreed) {
      zone.known = check != Check::disagreed;
      zone.checked.clear();
      break;
    }
    zone.checked.push_back(stretch);
    t = stretch.last + 1;
  }
  return zone;
}

void prepare_local_calendar() {
  tzset();
  process_zone();
}
