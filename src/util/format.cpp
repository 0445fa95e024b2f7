// Number, money and date texts for the reports.
#include "util/format.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <system_error>
#include <vector>

#include "time/timestamp.h"
#include "util/integer.h"

// macOS before 13.3 has no std::to_chars for floating point.
#if defined(__ENVIRONMENT_MAC_OS_X_VERSION_MIN_REQUIRED__)
#if __ENVIRONMENT_MAC_OS_X_VERSION_MIN_REQUIRED__ < 130300
#define METERLY_NO_FLOAT_TO_CHARS 1
#endif
#endif

namespace {

// Appends `value` zero-padded to `width` characters (at most 4 here).
void append_padded(std::string& out, std::int64_t value, int width) {
  std::array<char, 24> room;
  out.append(room.data(), write_zero_padded(room.data(), value, width));
}

// Rounds |x| * 100 half away from zero into whole cents, clamped to the unsigned range.
std::uint64_t to_cents(double x) {
  const double cents = std::round(std::fabs(x) * 100.0);
  if (!(cents >= 0.0)) return 0;  // NaN
  // 2^64 is exact in a double; anything at or past it does not fit.
  if (cents >= 18446744073709551616.0) return UINT64_MAX;
  return static_cast<std::uint64_t>(cents);
}

}  // namespace

std::string group_thousands(std::uint64_t n) {
  std::array<char, 20> digits;
  const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), n).ptr;
  const auto length = static_cast<std::size_t>(end - digits.data());
  std::string out;
  out.reserve(length + length / 3);
  for (std::size_t i = 0; i < length; ++i) {
    if (i != 0 && (length - i) % 3 == 0) out.push_back(',');
    out.push_back(digits[i]);
  }
  return out;
}

std::string format_tokens(std::uint64_t n, bool exact) {
  if (exact) return group_thousands(n);
  if (n <= 999) return group_thousands(n);
  double divisor = 1e12;
  char unit = 'T';
  if (n < 1'000'000) {
    divisor = 1e3;
    unit = 'K';
  } else if (n < 1'000'000'000) {
    divisor = 1e6;
    unit = 'M';
  } else if (n < 1'000'000'000'000) {
    divisor = 1e9;
    unit = 'B';
  }
  const double q = static_cast<double>(n) / divisor;
  // No carry into the next unit: 999,999 stays "1000K".
  std::string out = format_fixed(q, q >= 100.0 ? 0 : q >= 10.0 ? 1 : 2);
  out.push_back(unit);
  return out;
}

std::string format_usd(double x) {
  const std::uint64_t cents = to_cents(x);
  std::string out = x < 0.0 ? "-$" : "$";
  out += group_thousands(cents / 100);
  out.push_back('.');
  append_padded(out, static_cast<std::int64_t>(cents % 100), 2);
  return out;
}

std::string format_utc_timestamp(std::int64_t ms) {
  const std::int64_t seconds = floor_div(ms, 1000);
  const std::int64_t millis = floor_mod(ms, 1000);
  const std::int64_t second_of_day = floor_mod(seconds, 86400);
  const CivilDate date = civil_from_days(floor_div(seconds, 86400));

  std::string out;
  out.reserve(24);
  append_padded(out, date.year, 4);
  out.push_back('-');
  append_padded(out, date.month, 2);
  out.push_back('-');
  append_padded(out, date.day, 2);
  out.push_back('T');
  append_padded(out, second_of_day / 3600, 2);
  out.push_back(':');
  append_padded(out, second_of_day % 3600 / 60, 2);
  out.push_back(':');
  append_padded(out, second_of_day % 60, 2);
  out.push_back('.');
  append_padded(out, millis, 3);
  out.push_back('Z');
  return out;
}

std::string format_fixed(double x, int decimals) {
#ifdef METERLY_NO_FLOAT_TO_CHARS
  return format_fixed_exact(x, decimals);
#else
  // Libraries spell the non-finite values differently ("-nan(ind)" in libc++); one spelling.
  if (!std::isfinite(x)) return format_fixed_exact(x, decimals);
  decimals = std::max(decimals, 0);
  // std::to_chars prints the exact binary value rounded once, ties to even, in any locale.
  // The largest double has 309 integer digits; the sign and point need two more.
  std::string out(static_cast<std::size_t>(decimals) + 320, '\0');
  const auto result =
      std::to_chars(out.data(), out.data() + out.size(), x, std::chars_format::fixed, decimals);
  out.resize(result.ec == std::errc{} ? static_cast<std::size_t>(result.ptr - out.data()) : 0);
  return out;
#endif
}

std::string format_fixed_exact(double x, int decimals) {
  decimals = std::max(decimals, 0);
  std::string out = std::signbit(x) ? "-" : "";
  if (std::isnan(x)) return out + "nan";
  if (std::isinf(x)) return out + "inf";
  // |x| = mantissa * 2^exponent exactly, with a mantissa of at most 53 bits.
  int exponent = 0;
  const double fraction = std::frexp(std::fabs(x), &exponent);
  const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
  exponent -= 53;
  // Little-endian 32-bit limbs. The value times 10^decimals, shifted right by -exponent bits
  // with ties to even, is the whole decimal expansion without its point.
  std::vector<std::uint32_t> n{static_cast<std::uint32_t>(mantissa),
                               static_cast<std::uint32_t>(mantissa >> 32)};
  auto multiply = [&n](std::uint32_t factor) {
    std::uint64_t carry = 0;
    for (std::uint32_t& limb : n) {
      carry += std::uint64_t{limb} * factor;
      limb = static_cast<std::uint32_t>(carry);
      carry >>= 32;
    }
    if (carry != 0) n.push_back(static_cast<std::uint32_t>(carry));
  };
  auto bit = [&n](std::size_t at) {
    return at / 32 < n.size() && (n[at / 32] >> at % 32 & 1) != 0;
  };
  if (exponent >= 0) {
    for (int i = 0; i < exponent; ++i) multiply(2);
    for (int i = 0; i < decimals; ++i) multiply(10);
  } else {
    for (int i = 0; i < decimals; ++i) multiply(10);
    const auto shift = static_cast<std::size_t>(-exponent);
    const bool half = bit(shift - 1);
    bool below_half = false;
    for (std::size_t at = 0; at + 1 < shift && !below_half; ++at) below_half = bit(at);
    std::vector<std::uint32_t> quotient(n.size() - std::min(n.size(), shift / 32), 0);
    for (std::size_t i = 0; i < quotient.size(); ++i) {
      const std::size_t from = i + shift / 32;
      const unsigned offset = shift % 32;
      std::uint64_t two = n[from];
      if (from + 1 < n.size()) two |= std::uint64_t{n[from + 1]} << 32;
      quotient[i] = static_cast<std::uint32_t>(two >> offset);
    }
    n = quotient.empty() ? std::vector<std::uint32_t>{0} : quotient;
    if (half && (below_half || (n[0] & 1) != 0)) {
      std::size_t i = 0;
      while (i < n.size() && ++n[i] == 0) ++i;
      if (i == n.size()) n.push_back(1);
    }
  }
  // Nine decimal digits at a time, least significant first.
  std::string digits;
  for (;;) {
    std::uint64_t rest = 0;
    bool zero = true;
    for (std::size_t i = n.size(); i-- > 0;) {
      rest = rest << 32 | n[i];
      n[i] = static_cast<std::uint32_t>(rest / 1000000000);
      rest %= 1000000000;
      zero = zero && n[i] == 0;
    }
    for (int d = 0; d < 9; ++d, rest /= 10) digits.push_back(static_cast<char>('0' + rest % 10));
    if (zero) break;
  }
  const auto point = static_cast<std::size_t>(decimals);
  if (digits.size() < point + 1) digits.resize(point + 1, '0');
  while (digits.size() > point + 1 && digits.back() == '0') digits.pop_back();
  std::reverse(digits.begin(), digits.end());
  if (point > 0) digits.insert(digits.end() - static_cast<std::ptrdiff_t>(point), '.');
  return out + digits;
}
