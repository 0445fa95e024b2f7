// The texts of token counts, dollar amounts and instants in the reports.
#pragma once

#include <cstdint>
#include <string>

/// Decimal digits with "," between groups of three: 1234567 gives "1,234,567".
std::string group_thousands(std::uint64_t n);

/// A token count as 1.23K / 45.6M / 789B / 1.00T, or grouped in full when `exact`.
std::string format_tokens(std::uint64_t n, bool exact);

/// A dollar amount rounded to cents: "$1,234.57", "-$2.50".
std::string format_usd(double x);

/// An instant as "YYYY-MM-DDTHH:MM:SS.mmmZ" in UTC.
std::string format_utc_timestamp(std::int64_t ms);

/// The correctly rounded fixed-point expansion of `x` with `decimals` digits (ties to even).
std::string format_fixed(double x, int decimals);

/// The same text as format_fixed, worked out with integers alone. format_fixed uses it where the
/// C++ library has no floating-point std::to_chars (Apple's before macOS 13.3).
std::string format_fixed_exact(double x, int decimals);
