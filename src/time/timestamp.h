#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

/// The local calendar keys and the absolute instant of a log timestamp.
struct TimestampParts {
  std::string day_key;  // "YYYY-MM-DD", local
  std::int64_t event_time_ms = 0;
  std::string month_key;  // "YYYY-MM", local
};

/// A proleptic Gregorian calendar date.
struct CivilDate {
  std::int64_t year = 1970;
  std::int64_t month = 1;
  std::int64_t day = 1;

  bool operator==(const CivilDate&) const = default;
};

class LocalCalendar;

/// Reads "YYYY-MM-DDTHH:MM:SS[.fff...]" at fixed positions, as UTC whatever zone follows.
std::optional<TimestampParts> parse_timestamp(std::string_view text);

/// parse_timestamp with the local date taken through `calendar`; the result is the same.
std::optional<TimestampParts> parse_timestamp(std::string_view text, LocalCalendar& calendar);

/// Days since 1970-01-01 of a date (Hinnant's algorithm); days out of range carry over, and so do
/// months from -9 to 14. Does not overflow for years within ±2^40.
std::int64_t days_from_civil(std::int64_t year, std::int64_t month, std::int64_t day);

/// The date of a day count since 1970-01-01 (the inverse of days_from_civil).
/// Does not overflow for counts within ±2^60.
CivilDate civil_from_days(std::int64_t days);

/// The local calendar date of an instant, or its UTC date when the C library cannot tell.
CivilDate local_date(std::int64_t seconds);

/// The UTC calendar date of an instant.
CivilDate utc_date(std::int64_t seconds);
