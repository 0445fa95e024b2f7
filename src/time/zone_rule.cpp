#include <algorithm>
#include <array>

#include "time/timestamp.h"
#include "time/zone.h"
#include "util/text.h"

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

// Reads 1 to `max_digits` digits into `value`, at most `limit`.
bool read_number(std::string_view& text, int max_digits, int limit, int& value) {
  int digits = 0;
  value = 0;
  while (digits < max_digits && !text.empty() && is_ascii_digit(text.front())) {
    value = value * 10 + (text.front() - '0');
    text.remove_prefix(1);
    ++digits;
  }
  // A further digit is a number out of range, not a separator.
  const bool more = !text.empty() && is_ascii_digit(text.front());
  return digits > 0 && !more && value <= limit;
}

bool is_alpha(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The length of the "<+0330>" or the three letters or more that `text` starts with, else 0; the
// libraries agree on nothing wider.
std::size_t name_length(std::string_view text) {
  if (!text.empty() && text.front() == '<') {
    const std::size_t close = text.find('>');
    if (close == std::string_view::npos || close < 4) return 0;
    for (const char c : text.substr(1, close - 1)) {
      if (!is_alpha(c) && !is_ascii_digit(c) && c != '+' && c != '-') return 0;
    }
    return close + 1;
  }
  std::size_t length = 0;
  while (length < text.size() && is_alpha(text[length])) ++length;
  return length < 3 ? 0 : length;
}

bool read_name(std::string_view& text) {
  const std::size_t length = name_length(text);
  text.remove_prefix(length);
  return length != 0;
}

// [+-]h[:mm[:ss]] in seconds, signed as written. glibc caps an offset's hours at 24 where the
// others take up to 167, so only the range both read alike passes.
bool read_clock(std::string_view& text, int max_hours, std::int64_t& seconds) {
  const bool negative = !text.empty() && text.front() == '-';
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  int hours = 0, minutes = 0, secs = 0;
  if (!read_number(text, 3, max_hours, hours)) return false;
  if (!text.empty() && text.front() == ':') {
    text.remove_prefix(1);
    if (!read_number(text, 2, 59, minutes)) return false;
    if (!text.empty() && text.front() == ':') {
      text.remove_prefix(1);
      if (!read_number(text, 2, 59, secs)) return false;
    }
  }
  seconds = hours * std::int64_t{3600} + minutes * 60 + secs;
  if (negative) seconds = -seconds;
  return true;
}

// A TZ offset counts hours west of Greenwich; ours counts east.
bool read_offset(std::string_view& text, std::int64_t& offset) {
  std::int64_t west = 0;
  if (text.empty() ||
      !(text.front() == '+' || text.front() == '-' || is_ascii_digit(text.front()))) {
    return false;
  }
  if (!read_clock(text, 24, west)) return false;
  offset = -west;
  return true;
}

bool read_rule_day(std::string_view& text, RuleDay& day) {
  if (text.empty() || text.front() != ',') return false;
  text.remove_prefix(1);
  if (!text.empty() && text.front() == 'M') {
    text.remove_prefix(1);
    day.kind = RuleDay::Kind::month_week_day;
    if (!read_number(text, 2, 12, day.month) || day.month < 1) return false;
    if (text.empty() || text.front() != '.') return false;
    text.remove_prefix(1);
    if (!read_number(text, 1, 5, day.week) || day.week < 1) return false;
    if (text.empty() || text.front() != '.') return false;
    text.remove_prefix(1);
    if (!read_number(text, 1, 6, day.day)) return false;
  } else if (!text.empty() && text.front() == 'J') {
    text.remove_prefix(1);
    day.kind = RuleDay::Kind::julian;
    if (!read_number(text, 3, 365, day.day) || day.day < 1) return false;
  } else {
    day.kind = RuleDay::Kind::zero_based;
    if (!read_number(text, 3, 365, day.day)) return false;
  }
  day.seconds = 7200;
  if (!text.empty() && text.front() == '/') {
    text.remove_prefix(1);
    if (!read_clock(text, 167, day.seconds)) return false;
  }
  return true;
}

bool is_leap_year(std::int64_t year) {
  return days_from_civil(year, 3, 1) - days_from_civil(year, 2, 1) == 29;
}

// Days since 1970 of the rule's day in `year`.
std::int64_t rule_day_in(const RuleDay& rule, std::int64_t year) {
  const std::int64_t january_first = days_from_civil(year, 1, 1);
  switch (rule.kind) {
    case RuleDay::Kind::julian:
      return january_first + rule.day - 1 + (rule.day >= 60 && is_leap_year(year) ? 1 : 0);
    case RuleDay::Kind::zero_based:
      return january_first + rule.day;
    case RuleDay::Kind::month_week_day:
      break;
  }
  const std::int64_t first = days_from_civil(year, rule.month, 1);
  const std::int64_t length = days_from_civil(year, rule.month + 1, 1) - first;
  const std::int64_t weekday = ((first + 4) % 7 + 7) % 7;  // 1970-01-01 was a Thursday
  std::int64_t day = (rule.day - weekday + 7) % 7 + (rule.week - 1) * 7;
  while (day >= length) day -= 7;
  return first + day;
}

// Calls `use` with every instant at which `rule` may change the clock for the days of `year`. A
// change is local time, read with the offset before it; taking both offsets for both changes
// covers every way a library may read the rule.
template <typename Use>
void for_each_rule_change(const ZoneRule& rule, std::int64_t year, Use use) {
  if (!rule.has_daylight) return;
  for (const RuleDay* day : {&rule.start, &rule.end}) {
    const std::int64_t local = rule_day_in(*day, year) * kSecondsPerDay + day->seconds;
    use(local - rule.standard_offset);
    use(local - rule.daylight_offset);
  }
}

}  // namespace

std::optional<ZoneRule> parse_zone_rule(std::string_view text) {
  ZoneRule rule;
  if (!read_name(text) || !read_offset(text, rule.standard_offset)) return std::nullopt;
  if (text.empty()) return rule;
  if (!read_name(text)) return std::nullopt;
  rule.has_daylight = true;
  rule.daylight_offset = rule.standard_offset + 3600;
  if (!text.empty() && text.front() != ',' && !read_offset(text, rule.daylight_offset)) {
    return std::nullopt;
  }
  // Without dates the libraries take a rule from a file or a built-in default.
  if (!read_rule_day(text, rule.start) || !read_rule_day(text, rule.end) || !text.empty()) {
    return std::nullopt;
  }
  return rule;
}

void fold_rule_changes(ZoneChanges& changes, std::int64_t first_year, std::int64_t last_year) {
  std::vector<std::int64_t>& instants = changes.instants;
  const std::size_t before = instants.size();
  for (std::int64_t year = first_year; year <= last_year; ++year) {
    instants.push_back(days_from_civil(year, 1, 1) * kSecondsPerDay);
    for (const ZoneRule& rule : changes.rules) {
      for_each_rule_change(rule, year, [&](std::int64_t change) { instants.push_back(change); });
    }
  }
  std::sort(instants.begin() + static_cast<std::ptrdiff_t>(before), instants.end());
  std::inplace_merge(instants.begin(), instants.begin() + static_cast<std::ptrdiff_t>(before),
                     instants.end());
  instants.erase(std::unique(instants.begin(), instants.end()), instants.end());
  // A year's changes may spill into the years either side, so the first and last are not whole.
  changes.folded_first = days_from_civil(first_year + 1, 1, 1) * kSecondsPerDay;
  changes.folded_last = days_from_civil(last_year, 1, 1) * kSecondsPerDay - 1;
}

ChangeFreeStretch change_free_stretch(const ZoneChanges& changes, std::int64_t seconds) {
  const auto& instants = changes.instants;
  const auto after = std::upper_bound(instants.begin(), instants.end(), seconds);
  if (changes.folded_first <= seconds && seconds <= changes.folded_last) {
    return {*(after - 1), *after - 1};
  }
  // Every UTC year starts a stretch: glibc reads a rule for the UTC year of the instant, so its
  // clock may change there, and it bounds the stretches of a zone that never changes.
  const std::int64_t year = utc_date(seconds).year;
  std::int64_t first = days_from_civil(year, 1, 1) * kSecondsPerDay;
  std::int64_t next = days_from_civil(year + 1, 1, 1) * kSecondsPerDay;
  if (after != instants.end()) next = std::min(next, *after);
  if (after != instants.begin()) first = std::max(first, *(after - 1));
  for (const ZoneRule& rule : changes.rules) {
    for (std::int64_t y = year - 1; y <= year + 1; ++y) {
      for_each_rule_change(rule, y, [&](std::int64_t change) {
        if (change <= seconds) first = std::max(first, change);
        if (change > seconds) next = std::min(next, change);
      });
    }
  }
  return {first, next - 1};
}
