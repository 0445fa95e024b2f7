// The block kernels that find string ends and special bytes, SIMD where the platform has it.
#include "json/byte_scan.h"

#include <cstddef>
#include <cstdint>

#include "util/cpu_features.h"

#if defined(METERLY_BYTES16) && defined(__SSE2__)
#include <immintrin.h>
#define METERLY_AVX2 1
#endif

namespace {

#ifdef METERLY_BYTES16

// The bytes escaped by a backslash in a block of 64, as bits. `carry` tells whether the block's
// first byte is escaped by the previous block's last backslash, and is updated for the next.
// In a run of backslashes the escaped bytes are the second, fourth, ... from the run's start:
// odd bits for a run starting on an even bit, even bits otherwise. Adding each odd-starting
// run's first bit to the mask clears exactly those runs, which tells the two kinds apart; a
// sum that overflows is an odd-length run reaching the block's last byte.
inline std::uint64_t escaped_bytes(std::uint64_t backslash, std::uint64_t& carry) {
  constexpr std::uint64_t even_bits = 0x5555555555555555ULL;
  backslash &= ~carry;
  const std::uint64_t follows_backslash = backslash << 1 | carry;
  const std::uint64_t odd_starts = backslash & ~even_bits & ~follows_backslash;
  std::uint64_t odd_starts_folded;
  carry = __builtin_add_overflow(odd_starts, backslash, &odd_starts_folded) ? 1 : 0;
  const std::uint64_t invert = odd_starts_folded << 1;
  return (even_bits ^ invert) & follows_backslash;
}

// The quotes of a block that close the string, as bits.
inline std::uint64_t closing_quotes(std::uint64_t quote, std::uint64_t backslash,
                                    std::uint64_t& carry) {
  if ((backslash | carry) == 0) return quote;
  return quote & ~escaped_bytes(backslash, carry);
}

struct BlockMasks {
  std::uint64_t quote;
  std::uint64_t backslash;
};

inline BlockMasks block_masks(const char* p) {
  const Bytes16 quote = splat16('"');
  const Bytes16 backslash = splat16('\\');
  const Bytes16 b0 = load16(p), b1 = load16(p + 16), b2 = load16(p + 32), b3 = load16(p + 48);
  return BlockMasks{
      mask64(equal16(b0, quote), equal16(b1, quote), equal16(b2, quote), equal16(b3, quote)),
      mask64(equal16(b0, backslash), equal16(b1, backslash), equal16(b2, backslash),
             equal16(b3, backslash))};
}

#ifdef METERLY_AVX2
__attribute__((target("avx2"))) inline BlockMasks avx2_masks(const char* p) {
  const __m256i quote = _mm256_set1_epi8('"');
  const __m256i backslash = _mm256_set1_epi8('\\');
  const __m256i lo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
  auto bits = [](int lo_mask, int hi_mask) {
    return static_cast<std::uint64_t>(static_cast<std::uint32_t>(lo_mask)) |
           static_cast<std::uint64_t>(static_cast<std::uint32_t>(hi_mask)) << 32;
  };
  return BlockMasks{bits(_mm256_movemask_epi8(_mm256_cmpeq_epi8(lo, quote)),
                         _mm256_movemask_epi8(_mm256_cmpeq_epi8(hi, quote))),
                    bits(_mm256_movemask_epi8(_mm256_cmpeq_epi8(lo, backslash)),
                         _mm256_movemask_epi8(_mm256_cmpeq_epi8(hi, backslash)))};
}

#endif

// The quote and backslash bits of one 16-byte chunk at `p`.
inline BlockMasks chunk_masks(const char* p) {
  const Bytes16 bytes = load16(p);
  return BlockMasks{mask16(equal16(bytes, splat16('"'))), mask16(equal16(bytes, splat16('\\')))};
}

// Fewer than 64 bytes left, and reading on up to the block's end could cross into memory that
// is not the line's. With 16 or more, whole chunks and one last chunk ending at `end` cover
// them; fewer are copied into a zeroed block. Either way no bit at or past `end` is set, as
// zero padding would find nothing there.
const char* string_end_tail(const char* p, const char* end, std::uint64_t carry) {
  const auto size = static_cast<std::size_t>(end - p);
  BlockMasks masks{0, 0};
  if (size >= 16) {
    for (std::size_t at = 0; at + 16 <= size; at += 16) {
      const BlockMasks chunk = chunk_masks(p + at);
      masks.quote |= chunk.quote << at;
      masks.backslash |= chunk.backslash << at;
    }
    const BlockMasks last = chunk_masks(end - 16);
    masks.quote |= last.quote << (size - 16);
    masks.backslash |= last.backslash << (size - 16);
  } else {
    alignas(16) char block[64] = {};
    // An empty line may have no storage at all, and memcpy must not be given a null source.
    if (size != 0) __builtin_memcpy(block, p, size);
    masks = block_masks(block);
  }
  const std::uint64_t q = closing_quotes(masks.quote, masks.backslash, carry);
  return q != 0 ? p + __builtin_ctzll(q) + 1 : end;
}

const char* string_end_vector(const char* p, const char* end) {
  std::uint64_t carry = 0;
  for (; end - p >= 64; p += 64) {
    const BlockMasks masks = block_masks(p);
    if (const std::uint64_t q = closing_quotes(masks.quote, masks.backslash, carry); q != 0) {
      return p + __builtin_ctzll(q) + 1;
    }
  }
  return string_end_tail(p, end, carry);
}

#ifdef METERLY_AVX2

__attribute__((target("avx2"))) const char* string_end_avx2(const char* p, const char* end) {
  std::uint64_t carry = 0;
  for (; end - p >= 64; p += 64) {
    const BlockMasks masks = avx2_masks(p);
    if (const std::uint64_t q = closing_quotes(masks.quote, masks.backslash, carry); q != 0) {
      return p + __builtin_ctzll(q) + 1;
    }
  }
  return string_end_tail(p, end, carry);
}

#endif

using StringEnd = const char* (*)(const char*, const char*);

StringEnd string_end_kernel() {
#ifdef METERLY_AVX2
  static const StringEnd kernel = cpu_features().avx2 ? string_end_avx2 : string_end_vector;
  return kernel;
#else
  return string_end_vector;
#endif
}

#endif

}  // namespace

const char* find_string_end_bytewise(const char* p, const char* end) {
  // One byte at a time, as the escapes are defined.
  while (p < end) {
    const char c = *p++;
    if (c == '"') return p;
    if (c == '\\') {
      if (p == end) return end;
      ++p;
    }
  }
  return end;
}

const char* find_string_end_blocks(const char* p, const char* end) {
#ifdef METERLY_BYTES16
  return string_end_kernel()(p, end);
#else
  return find_string_end_bytewise(p, end);
#endif
}

const char* find_string_end_blocks_without_avx2(const char* p, const char* end) {
#ifdef METERLY_BYTES16
  return string_end_vector(p, end);
#else
  return find_string_end_bytewise(p, end);
#endif
}

const char* find_quote_or_backslash_blocks(const char* p, const char* end) {
#ifdef METERLY_BYTES16
  const Bytes16 quote = splat16('"');
  const Bytes16 backslash = splat16('\\');
  for (; end - p >= 16; p += 16) {
    const Bytes16 bytes = load16(p);
    const Bytes16 hit = or16(equal16(bytes, quote), equal16(bytes, backslash));
    if (any16(hit)) return p + __builtin_ctz(mask16(hit));
  }
#endif
  while (p < end && *p != '"' && *p != '\\') ++p;
  return p;
}
