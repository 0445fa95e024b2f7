// Sixteen-byte compares written once for SSE2 and NEON, for the byte-scanning kernels.
#pragma once

// Sixteen bytes compared at once, on SSE2 (every x86-64) or NEON (every arm64), so that the
// byte-scanning kernels are written once for both. METERLY_NO_SIMD leaves them out, for the
// scalar paths. Masks have bit i for byte i, as x86's movemask gives them.

#include <cstdint>

#if defined(__SSE2__) && !defined(METERLY_NO_SIMD)
#include <emmintrin.h>
#define METERLY_BYTES16 1
using Bytes16 = __m128i;

inline Bytes16 load16(const char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline Bytes16 splat16(char c) {
  return _mm_set1_epi8(c);
}
inline Bytes16 equal16(Bytes16 a, Bytes16 b) {
  return _mm_cmpeq_epi8(a, b);
}
inline Bytes16 or16(Bytes16 a, Bytes16 b) {
  return _mm_or_si128(a, b);
}
inline Bytes16 and16(Bytes16 a, Bytes16 b) {
  return _mm_and_si128(a, b);
}
/// All ones in the bytes of 0x80 and above.
inline Bytes16 high16(Bytes16 a) {
  return _mm_cmplt_epi8(a, _mm_setzero_si128());
}
/// Of bytes that are all ones or all zeros.
inline std::uint32_t mask16(Bytes16 a) {
  return static_cast<std::uint32_t>(_mm_movemask_epi8(a));
}
inline bool any16(Bytes16 a) {
  return _mm_movemask_epi8(a) != 0;
}
inline std::uint64_t mask64(Bytes16 a, Bytes16 b, Bytes16 c, Bytes16 d) {
  return std::uint64_t{mask16(a)} | std::uint64_t{mask16(b)} << 16 |
         std::uint64_t{mask16(c)} << 32 | std::uint64_t{mask16(d)} << 48;
}

#elif (defined(__aarch64__) || defined(_M_ARM64)) && !defined(METERLY_NO_SIMD)
#include <arm_neon.h>
#define METERLY_BYTES16 1
using Bytes16 = uint8x16_t;

inline Bytes16 load16(const char* p) {
  return vld1q_u8(reinterpret_cast<const std::uint8_t*>(p));
}
inline Bytes16 splat16(char c) {
  return vdupq_n_u8(static_cast<std::uint8_t>(c));
}
inline Bytes16 equal16(Bytes16 a, Bytes16 b) {
  return vceqq_u8(a, b);
}
inline Bytes16 or16(Bytes16 a, Bytes16 b) {
  return vorrq_u8(a, b);
}
inline Bytes16 and16(Bytes16 a, Bytes16 b) {
  return vandq_u8(a, b);
}
inline Bytes16 high16(Bytes16 a) {
  return vcltzq_s8(vreinterpretq_s8_u8(a));
}
inline bool any16(Bytes16 a) {
  return vmaxvq_u8(a) != 0;
}

// NEON has no movemask: each byte keeps its own bit of 1, 2, ..., 128, and pairwise additions
// fold them into bytes of mask.
inline Bytes16 bit_weights16(Bytes16 a) {
  constexpr std::uint8_t weights[16] = {1, 2, 4, 8, 16, 32, 64, 128, 1, 2, 4, 8, 16, 32, 64, 128};
  return vandq_u8(a, vld1q_u8(weights));
}
inline std::uint32_t mask16(Bytes16 a) {
  const uint8x16_t bits = bit_weights16(a);
  return vaddv_u8(vget_low_u8(bits)) | static_cast<std::uint32_t>(vaddv_u8(vget_high_u8(bits)))
                                           << 8;
}
inline std::uint64_t mask64(Bytes16 a, Bytes16 b, Bytes16 c, Bytes16 d) {
  const uint8x16_t ab = vpaddq_u8(bit_weights16(a), bit_weights16(b));
  const uint8x16_t cd = vpaddq_u8(bit_weights16(c), bit_weights16(d));
  const uint8x16_t abcd = vpaddq_u8(ab, cd);
  return vgetq_lane_u64(vreinterpretq_u64_u8(vpaddq_u8(abcd, abcd)), 0);
}

#endif
