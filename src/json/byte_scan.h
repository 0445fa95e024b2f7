#pragma once

#include <cstdint>

#if defined(__SSE2__) && !defined(METERLY_NO_SIMD)
#include <emmintrin.h>
#define METERLY_BYTE_SCAN_X86 1
#endif

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

/// As find_string_end, for the bytes at `p` that the inline fast path left undecided.
const char* find_string_end_blocks(const char* p, const char* end);

/// As find_quote_or_backslash, for the bytes at `p` that the inline fast path left undecided.
const char* find_quote_or_backslash_blocks(const char* p, const char* end);

#ifdef METERLY_BYTE_SCAN_X86

/// Quotes, backslashes and bytes of 0x80 and above among the 32 bytes at `p`, one bit each.
struct ByteClasses32 {
  std::uint32_t quote;
  std::uint32_t backslash;
  std::uint32_t high;
};

/// Classifies the 32 bytes at `p`, all of which must be readable.
inline ByteClasses32 classify_32(const char* p) {
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i backslash = _mm_set1_epi8('\\');
  const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
  auto bits = [](__m128i a, __m128i b) {
    return static_cast<std::uint32_t>(_mm_movemask_epi8(a)) |
           static_cast<std::uint32_t>(_mm_movemask_epi8(b)) << 16;
  };
  return ByteClasses32{bits(_mm_cmpeq_epi8(lo, quote), _mm_cmpeq_epi8(hi, quote)),
                       bits(_mm_cmpeq_epi8(lo, backslash), _mm_cmpeq_epi8(hi, backslash)),
                       bits(lo, hi)};
}

/// The first of the 16 bytes at `p` that ends a number, literal or junk run (whitespace, ',',
/// ']' or '}'), or `p + 16` when none of them does. All 16 bytes must be readable.
inline const char* find_scalar_stop_16(const char* p) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  auto is = [&](char c) { return _mm_cmpeq_epi8(bytes, _mm_set1_epi8(c)); };
  const __m128i space =
      _mm_or_si128(_mm_or_si128(is(' '), is('\t')), _mm_or_si128(is('\n'), is('\r')));
  const __m128i stop = _mm_or_si128(space, _mm_or_si128(is(','), _mm_or_si128(is(']'), is('}'))));
  return p + __builtin_ctz(static_cast<unsigned>(_mm_movemask_epi8(stop)) | 0x10000u);
}

#endif

/// Where a JSON string that starts at `p` (just after its opening quote) ends: just after the
/// first quote not escaped by a backslash, or `end` when the line ends first. Decodes nothing.
inline const char* find_string_end(const char* p, const char* end) {
#ifdef METERLY_BYTE_SCAN_X86
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
#ifdef METERLY_BYTE_SCAN_X86
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
