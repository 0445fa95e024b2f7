// Byte classification for the JSON scanner: whitespace, string ends, quotes and backslashes.
#pragma once

#include <cstdint>

#include "util/bytes16.h"

/// Whether `c` is JSON whitespace: space, tab, LF or CR, and no other byte.
inline bool is_json_space(char c) {
  constexpr std::uint64_t bits = std::uint64_t{1} << ' ' | std::uint64_t{1} << '\t' |
                                 std::uint64_t{1} << '\n' | std::uint64_t{1} << '\r';
  const auto byte = static_cast<unsigned char>(c);
  return byte < 64 && (bits >> byte & 1) != 0;
}

/// The first byte in [p, end) that is not JSON whitespace, or `end`.
inline const char* skip_json_space(const char* p, const char* end) {
  while (p < end && is_json_space(*p)) ++p;
  return p;
}

/// As find_string_end, one byte at a time: what builds without vector instructions run.
const char* find_string_end_bytewise(const char* p, const char* end);

/// As find_string_end, for the bytes at `p` that the inline fast path left undecided.
const char* find_string_end_blocks(const char* p, const char* end);
/// find_string_end_blocks as processors without AVX2 run it: the same answer, more slowly.
const char* find_string_end_blocks_without_avx2(const char* p, const char* end);

/// As find_quote_or_backslash, for the bytes at `p` that the inline fast path left undecided.
const char* find_quote_or_backslash_blocks(const char* p, const char* end);

#ifdef METERLY_BYTES16

/// Quotes, backslashes and bytes of 0x80 and above among the 32 bytes at `p`, one bit each.
struct ByteClasses32 {
  std::uint32_t quote;
  std::uint32_t backslash;
  std::uint32_t high;
};

/// Classifies the 32 bytes at `p`, all of which must be readable.
inline ByteClasses32 classify_32(const char* p) {
  const Bytes16 lo = load16(p);
  const Bytes16 hi = load16(p + 16);
  const Bytes16 quote = splat16('"');
  const Bytes16 backslash = splat16('\\');
  const std::uint64_t special = mask64(equal16(lo, quote), equal16(hi, quote),
                                       equal16(lo, backslash), equal16(hi, backslash));
  return ByteClasses32{static_cast<std::uint32_t>(special),
                       static_cast<std::uint32_t>(special >> 32),
                       mask16(high16(lo)) | mask16(high16(hi)) << 16};
}

/// The first of the 16 bytes at `p` that ends a number, literal or junk run (whitespace, ',',
/// ']' or '}'), or `p + 16` when none of them does. All 16 bytes must be readable.
inline const char* find_scalar_stop_16(const char* p) {
  const Bytes16 bytes = load16(p);
  auto is = [&](char c) { return equal16(bytes, splat16(c)); };
  const Bytes16 space = or16(or16(is(' '), is('\t')), or16(is('\n'), is('\r')));
  const Bytes16 stop = or16(space, or16(is(','), or16(is(']'), is('}'))));
  return p + __builtin_ctz(mask16(stop) | 0x10000u);
}

#endif

/// Where a JSON string that starts at `p` (just after its opening quote) ends: just after the
/// first quote not escaped by a backslash, or `end` when the line ends first. Decodes nothing.
inline const char* find_string_end(const char* p, const char* end) {
#ifdef METERLY_BYTES16
  // Keys, ids and timestamps end within 32 bytes, before any backslash: one classification
  // settles them without a call.
  if (end - p >= 32) {
    const ByteClasses32 classes = classify_32(p);
    const std::uint32_t closing = classes.quote & (classes.backslash - 1) & ~classes.backslash;
    if (closing != 0) return p + __builtin_ctz(closing) + 1;
    // No backslash: nothing escapes the next byte, so the search resumes after the block.
    if (classes.backslash == 0) return find_string_end_blocks(p + 32, end);
  }
#endif
  return find_string_end_blocks(p, end);
}

/// The first quote or backslash in [p, end), or `end` when there is none.
inline const char* find_quote_or_backslash(const char* p, const char* end) {
#ifdef METERLY_BYTES16
  if (end - p >= 32) {
    const ByteClasses32 classes = classify_32(p);
    if (const std::uint32_t special = classes.quote | classes.backslash; special != 0) {
      return p + __builtin_ctz(special);
    }
    return find_quote_or_backslash_blocks(p + 32, end);
  }
#endif
  return find_quote_or_backslash_blocks(p, end);
}
