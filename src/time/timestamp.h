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

/// Remembers a stretch of time over which the local clock keeps one offset from UTC, so the many
/// events of one session cost a few calls into the C library. The stretch is proved by asking at
/// most kProbeSeconds apart: two such probes that read one offset show it held between them as
/// long as no offset is taken for less than that. Zones may change their offset twice a day or
/// more; none we know of keeps one for under an hour. One per thread; it assumes the process's
/// zone stays put.
class LocalCalendar {
 public:
  static constexpr std::int64_t kProbeSeconds = 3600;

  /// The same date as local_date(seconds).
  CivilDate date_of(std::int64_t seconds);

 private:
  static constexpr std::int64_t kReachSeconds = 8 * kProbeSeconds;

  // Makes the span hold `seconds`, walking there from a span close by or starting afresh; false
  // when the C library cannot tell the offset.
  bool cover(std::int64_t seconds);
  // Moves the nearer end of the span to `to`, probing at most a step apart; a probe that reads
  // another offset starts the span afresh there. False when a probe fails.
  bool walk(std::int64_t to);

  // Instants known to read with one offset from UTC, and that offset.
  std::int64_t span_first_ = 1;
  std::int64_t span_last_ = 0;
  std::int64_t span_offset_ = 0;
  // The part of one local day inside the span, and its date.
  std::int64_t day_first_ = 1;
  std::int64_t day_last_ = 0;
  CivilDate day_;
};

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
