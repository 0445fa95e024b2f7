#pragma once

#include <cstdint>

#include "time/timestamp.h"
#include "time/zone.h"

/// Gives local_date(seconds) for the many events of a log at a few calls into the C library,
/// which takes a lock in glibc. It remembers a stretch of time with one offset from UTC: the
/// zone's file or TZ rule tells where the offset may change, however briefly, and the C library
/// confirms the offset at both ends. When the zone cannot be read with certainty, or the C library
/// disagrees with what was read, every distinct second goes to the C library. One per thread; it
/// assumes the process's zone stays put.
class LocalCalendar {
 public:
  /// For the process's zone, learnt once.
  LocalCalendar();
  /// For `zone`, which must outlive the calendar and be the zone the C library uses.
  explicit LocalCalendar(const ZoneChanges& zone);

  /// The same date as local_date(seconds).
  CivilDate date_of(std::int64_t seconds);
  /// False once dates come from the C library for every second.
  bool trusts_zone() const { return trusted_; }
  /// Days worked out beyond the remembered one, plus stretches found beyond the remembered one:
  /// the work the two caches leave, for tests to hold them to.
  std::uint64_t lookups() const { return lookups_; }

 private:
  // Makes the span hold `seconds`; false when the cache cannot answer for it.
  bool cover(std::int64_t seconds);

  const ZoneChanges* zone_;
  bool trusted_;
  // Instants known to read with one offset from UTC, and that offset.
  std::int64_t span_first_ = 1;
  std::int64_t span_last_ = 0;
  std::int64_t span_offset_ = 0;
  // The part of one local day inside the span, and its date.
  std::int64_t day_first_ = 1;
  std::int64_t day_last_ = 0;
  CivilDate day_;
  std::uint64_t lookups_ = 0;
};

/// The changes of the process's zone, with the stretches of the years around `now` checked.
ZoneChanges learn_process_zone(std::int64_t now);

/// Loads the C library's zone and the process's zone changes before workers need them.
void prepare_local_calendar();
