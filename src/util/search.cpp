// Substring and multi-needle search, SIMD where the platform has it.
#include "util/search.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <utility>

#include "util/bytes16.h"
#include "util/cpu_features.h"

#if defined(METERLY_BYTES16) && defined(__SSE2__)
#include <immintrin.h>
#define METERLY_AVX2 1
#endif

namespace {

using Probe = NeedleSet::Probe;
constexpr std::size_t npos = std::string_view::npos;

// How common each byte is in agent logs and the source text they quote, higher is more common.
// Printable ASCII is listed most common first; UTF-8 bytes rank below it and control bytes last.
constexpr std::array<unsigned char, 256> make_byte_frequency() {
  constexpr std::string_view common =
      " etnrso\\\"iacdlupm:fh0_1.g,2/-b3y4wv9()58k67ExS=R`CTAUq}PIFLO{WBDMNHjVGYZ[+QKXJz>*%|;#'"
      "@]!<&?$^~";
  std::array<unsigned char, 256> freq{};
  for (std::size_t b = 0; b < 256; ++b) freq[b] = b >= 0x80 ? 90 : 1;
  for (std::size_t i = 0; i < common.size(); ++i) {
    freq[static_cast<unsigned char>(common[i])] = static_cast<unsigned char>(255 - i);
  }
  freq['\n'] = 10;
  return freq;
}

constexpr std::array<unsigned char, 256> kByteFrequency = make_byte_frequency();

inline bool matches_at(std::string_view needle, const char* hay, std::size_t size,
                       std::size_t pos) {
  if (needle.size() > size - pos) return false;
  // Most candidates differ within their first eight bytes: settle those without a call.
  if (needle.size() >= 8) {
    std::uint64_t want, have;
    std::memcpy(&want, needle.data(), 8);
    std::memcpy(&have, hay + pos, 8);
    if (want != have) return false;
  }
  return std::memcmp(hay + pos, needle.data(), needle.size()) == 0;
}

// The needles of one search with their probes; every probe offset is at most `max_offset`.
struct Needles {
  const std::string_view* text;
  const Probe* probe;
  std::size_t count;
  std::size_t min_length;
  std::size_t max_offset;
  // A byte that every needle has at the same offset, when there is one and more than one
  // needle: a block without it at that offset holds no start of any needle.
  bool has_shared = false;
  unsigned char shared = 0;
  std::size_t shared_offset = 0;
};

// Without SIMD, memchr on each needle's rarest byte does the skipping.
std::size_t scan_portable(const Needles& set, std::string_view haystack) {
  const char* hay = haystack.data();
  const std::size_t size = haystack.size();
  std::size_t best = npos;
  for (std::size_t k = 0; k < set.count; ++k) {
    const std::string_view needle = set.text[k];
    const std::size_t offset = set.probe[k].first_offset;
    if (needle.size() > size) continue;
    const std::size_t end = std::min(best, size - needle.size() + 1);
    for (std::size_t pos = 0; pos < end; ++pos) {
      const void* hit = std::memchr(hay + pos + offset, set.probe[k].first, end - pos);
      if (hit == nullptr) break;
      pos = static_cast<std::size_t>(static_cast<const char*>(hit) - hay) - offset;
      if (matches_at(needle, hay, size, pos)) {
        best = pos;
        break;
      }
    }
  }
  return best;
}

#ifdef METERLY_BYTES16

// Positions from `from` on where the shortest needle fits, checked one at a time.
std::size_t scan_scalar(const Needles& set, const char* hay, std::size_t size, std::size_t from) {
  for (std::size_t pos = from; pos + set.min_length <= size; ++pos) {
    for (std::size_t k = 0; k < set.count; ++k) {
      const Probe& probe = set.probe[k];
      if (set.text[k].size() > size - pos) continue;
      if (static_cast<unsigned char>(hay[pos + probe.first_offset]) == probe.first &&
          static_cast<unsigned char>(hay[pos + probe.second_offset]) == probe.second &&
          matches_at(set.text[k], hay, size, pos)) {
        return pos;
      }
    }
  }
  return npos;
}

// Candidate bits of a block, one mask per needle. Every needle is tried at a position before
// the next one, so the smallest start is found.
template <std::size_t K>
std::size_t verify_block(const Needles& set, const std::array<std::uint64_t, K>& masks,
                         const char* hay, std::size_t size, std::size_t block) {
  std::uint64_t any = 0;
  for (std::size_t k = 0; k < K; ++k) any |= masks[k];
  while (any != 0) {
    const auto bit = static_cast<unsigned>(__builtin_ctzll(any));
    any &= any - 1;
    for (std::size_t k = 0; k < K; ++k) {
      if ((masks[k] >> bit & 1) != 0 && matches_at(set.text[k], hay, size, block + bit)) {
        return block + bit;
      }
    }
  }
  return npos;
}

// Blocks of 16 positions; needs size >= max_offset + 16. Covers the positions below
// size - max_offset; the caller checks the few after them.
template <std::size_t K>
std::size_t scan_vector(const Needles& set, const char* hay, std::size_t size) {
  Bytes16 first[K], second[K];
  std::array<const char*, K> first_at;
  std::array<const char*, K> second_at;
  for (std::size_t k = 0; k < K; ++k) {
    first[k] = splat16(static_cast<char>(set.probe[k].first));
    second[k] = splat16(static_cast<char>(set.probe[k].second));
    first_at[k] = hay + set.probe[k].first_offset;
    second_at[k] = hay + set.probe[k].second_offset;
  }
  auto block_masks = [&](std::size_t at, std::array<std::uint64_t, K>& masks) {
    Bytes16 hit[K];
    Bytes16 any = splat16(0);
    for (std::size_t k = 0; k < K; ++k) {
      hit[k] = and16(equal16(load16(first_at[k] + at), first[k]),
                     equal16(load16(second_at[k] + at), second[k]));
      any = or16(any, hit[k]);
    }
    // Most blocks hold no candidate: one test settles them before any mask is formed.
    if (!any16(any)) return false;
    for (std::size_t k = 0; k < K; ++k) masks[k] = mask16(hit[k]);
    return true;
  };
  // The last block overlaps the one before it: the positions in it already seen hold no start.
  const std::size_t last = size - set.max_offset - 16;
  std::array<std::uint64_t, K> masks;
  for (std::size_t at = 0;; at += 16) {
    const std::size_t block = std::min(at, last);
    if (block_masks(block, masks)) {
      if (const std::size_t found = verify_block<K>(set, masks, hay, size, block); found != npos) {
        return found;
      }
    }
    if (block == last) return npos;
  }
}

#ifdef METERLY_AVX2

// Where both probe bytes match among the 32 positions at `a` (first byte) and `b` (second).
__attribute__((target("avx2"))) inline std::uint64_t avx2_pair_hits(const char* a, const char* b,
                                                                    __m256i first, __m256i second) {
  const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a));
  const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b));
  const __m256i hit = _mm256_and_si256(_mm256_cmpeq_epi8(x, first), _mm256_cmpeq_epi8(y, second));
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(hit));
}

// Blocks of 64 positions as two 32-byte halves; needs size >= max_offset + 64.
template <std::size_t K>
__attribute__((target("avx2"))) std::uint64_t avx2_block_masks(
    const std::array<const char*, K>& first_at, const std::array<const char*, K>& second_at,
    const __m256i (&first)[K], const __m256i (&second)[K], std::size_t at,
    std::array<std::uint64_t, K>& masks) {
  std::uint64_t any = 0;
  for (std::size_t k = 0; k < K; ++k) {
    const char* a = first_at[k] + at;
    const char* b = second_at[k] + at;
    masks[k] = avx2_pair_hits(a, b, first[k], second[k]) |
               avx2_pair_hits(a + 32, b + 32, first[k], second[k]) << 32;
    any |= masks[k];
  }
  return any;
}

// Where the shared byte stands among the 64 positions at `at`, as bits.
__attribute__((target("avx2"))) inline std::uint64_t avx2_shared_hits(const char* at,
                                                                      __m256i shared) {
  const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
  const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 32));
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(x, shared))) |
         static_cast<std::uint64_t>(
             static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(y, shared))))
             << 32;
}

template <std::size_t K>
__attribute__((target("avx2"))) std::size_t scan_avx2(const Needles& set, const char* hay,
                                                      std::size_t size) {
  const __m256i shared = _mm256_set1_epi8(static_cast<char>(set.shared));
  const char* const shared_at = hay + set.shared_offset;
  __m256i first[K], second[K];
  std::array<const char*, K> first_at;
  std::array<const char*, K> second_at;
  for (std::size_t k = 0; k < K; ++k) {
    first[k] = _mm256_set1_epi8(static_cast<char>(set.probe[k].first));
    second[k] = _mm256_set1_epi8(static_cast<char>(set.probe[k].second));
    first_at[k] = hay + set.probe[k].first_offset;
    second_at[k] = hay + set.probe[k].second_offset;
  }
  const std::size_t last = size - set.max_offset - 64;
  std::array<std::uint64_t, K> masks;
  for (std::size_t at = 0;; at += 64) {
    const std::size_t block = std::min(at, last);
    // One compare rules out most blocks before the per-needle pairs are looked at.
    if ((!set.has_shared || avx2_shared_hits(shared_at + block, shared) != 0) &&
        avx2_block_masks<K>(first_at, second_at, first, second, block, masks) != 0) {
      if (const std::size_t found = verify_block<K>(set, masks, hay, size, block); found != npos) {
        return found;
      }
    }
    if (block == last) return npos;
  }
}

#endif

template <std::size_t K>
std::size_t scan_blocks(const Needles& set, const char* hay, std::size_t size) {
#ifdef METERLY_AVX2
  if (size >= set.max_offset + 64 && cpu_features().avx2) return scan_avx2<K>(set, hay, size);
#endif
  return scan_vector<K>(set, hay, size);
}

// The first start of any needle (at most NeedleSet::kJoint of them).
std::size_t scan(const Needles& set, std::string_view haystack) {
  const char* hay = haystack.data();
  const std::size_t size = haystack.size();
  if (size < set.min_length) return npos;
  std::size_t tail_from = 0;
  if (size >= set.max_offset + 16) {
    std::size_t found = npos;
    switch (set.count) {
      case 1:
        found = scan_blocks<1>(set, hay, size);
        break;
      case 2:
        found = scan_blocks<2>(set, hay, size);
        break;
      case 3:
        found = scan_blocks<3>(set, hay, size);
        break;
      case 4:
        found = scan_blocks<4>(set, hay, size);
        break;
      default:
        static_assert(NeedleSet::kJoint == 5);
        found = scan_blocks<5>(set, hay, size);
        break;
    }
    if (found != npos) return found;
    tail_from = size - set.max_offset;
  }
  return scan_scalar(set, hay, size, tail_from);
}

#else

std::size_t scan(const Needles& set, std::string_view haystack) {
  return scan_portable(set, haystack);
}

#endif

std::size_t max_offset_of(const Probe& probe) {
  return std::max(probe.first_offset, probe.second_offset);
}

}  // namespace

// The two rarest bytes of the needle at distinct offsets, so that a candidate position is one
// where both appear; a needle of one byte compares the same byte twice.
NeedleSet::Probe probe_of(std::string_view needle) {
  // One pass keeping the two lowest frequencies in registers: this runs for every
  // find_substring call, often on lines of a few hundred bytes.
  unsigned rarest = 256, next = 256;
  std::size_t first = 0, second = 0;
  for (std::size_t i = 0; i < needle.size(); ++i) {
    const unsigned freq = kByteFrequency[static_cast<unsigned char>(needle[i])];
    if (freq < rarest) {
      next = rarest;
      second = first;
      rarest = freq;
      first = i;
    } else if (freq < next) {
      next = freq;
      second = i;
    }
  }
  NeedleSet::Probe probe;
  probe.first_offset = static_cast<std::uint32_t>(first);
  probe.second_offset = static_cast<std::uint32_t>(second);
  probe.first = static_cast<unsigned char>(needle[first]);
  probe.second = static_cast<unsigned char>(needle[second]);
  return probe;
}

std::optional<std::pair<unsigned char, std::size_t>> shared_byte(
    std::span<const std::string> needles) {
  if (needles.size() < 2) return std::nullopt;
  std::optional<std::pair<unsigned char, std::size_t>> best;
  for (std::size_t offset = 0; offset < needles[0].size(); ++offset) {
    const auto byte = static_cast<unsigned char>(needles[0][offset]);
    const bool everywhere = std::all_of(needles.begin(), needles.end(), [&](const std::string& n) {
      return offset < n.size() && static_cast<unsigned char>(n[offset]) == byte;
    });
    if (everywhere && (!best || kByteFrequency[byte] < kByteFrequency[best->first])) {
      best = std::pair{byte, offset};
    }
  }
  return best;
}

std::size_t find_substring(std::string_view haystack, std::string_view needle) {
  if (needle.empty()) return 0;
  if (needle.size() > haystack.size()) return npos;
  if (needle.size() == 1) {
    const void* hit = std::memchr(haystack.data(), needle[0], haystack.size());
    if (hit == nullptr) return npos;
    return static_cast<std::size_t>(static_cast<const char*>(hit) - haystack.data());
  }
  const Probe probe = probe_of(needle);
  return scan(Needles{&needle, &probe, 1, needle.size(), max_offset_of(probe)}, haystack);
}

NeedleSet::NeedleSet(std::span<const std::string_view> needles) {
  for (const std::string_view needle : needles) {
    if (needle.empty()) {
      has_empty_ = true;
      continue;
    }
    needles_.emplace_back(needle);
    probes_.push_back(probe_of(needle));
    min_length_ = needles_.size() == 1 ? needle.size() : std::min(min_length_, needle.size());
    max_offset_ = std::max(max_offset_, max_offset_of(probes_.back()));
  }
  // Only the joint search uses it; a larger set pays the small cost of finding it for nothing.
  if (const auto shared = shared_byte(needles_)) {
    has_shared_ = true;
    shared_ = shared->first;
    shared_offset_ = shared->second;
    max_offset_ = std::max(max_offset_, shared_offset_);
  }
}

std::size_t NeedleSet::find_first(std::string_view haystack) const {
  return find<scan>(haystack);
}

std::size_t NeedleSet::find_first_portable(std::string_view haystack) const {
  return find<scan_portable>(haystack);
}

template <auto Scan>
std::size_t NeedleSet::find(std::string_view haystack) const {
  if (has_empty_) return 0;
  if (needles_.empty()) return npos;
  if (needles_.size() > kJoint) {
    // More needles than one pass compares: the earliest of single-needle searches.
    std::size_t best = npos;
    for (const std::string& needle : needles_) {
      best = std::min(best, find_substring(haystack, needle));
    }
    return best;
  }
  std::array<std::string_view, kJoint> text;
  for (std::size_t k = 0; k < needles_.size(); ++k) text[k] = needles_[k];
  const Needles set{text.data(), probes_.data(), needles_.size(), min_length_,
                    max_offset_, has_shared_,    shared_,         shared_offset_};
  return Scan(set, haystack);
}
