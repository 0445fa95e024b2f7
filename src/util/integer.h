// Integer arithmetic the calendar and the printers share: floor division and zero-padded digits.
#pragma once

#include <array>
#include <charconv>
#include <cstdint>

/// Floor division for a positive divisor, without forming q * b, which overflows at the bottom
/// of the range.
constexpr std::int64_t floor_div(std::int64_t a, std::int64_t b) {
  return a / b - (a % b < 0);
}

/// The remainder of floor_div, from 0 to b - 1.
constexpr std::int64_t floor_mod(std::int64_t a, std::int64_t b) {
  return a % b + (a % b < 0) * b;
}

/// Writes `value` zero-padded to `width` characters at `out`, a minus sign counting toward the
/// width, and returns the end; `out` needs room for 20 bytes or `width`, whichever is more.
inline char* write_zero_padded(char* out, std::int64_t value, int width) {
  std::uint64_t magnitude = static_cast<std::uint64_t>(value);
  if (value < 0) {
    *out++ = '-';
    --width;
    magnitude = 0 - magnitude;
  }
  std::array<char, 20> digits;
  const char* const end =
      std::to_chars(digits.data(), digits.data() + digits.size(), magnitude).ptr;
  for (auto n = end - digits.data(); n < width; ++n) *out++ = '0';
  for (const char* p = digits.data(); p != end; ++p) *out++ = *p;
  return out;
}
