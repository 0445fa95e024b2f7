// Hashing of byte strings and the open-addressing index behind the de-duplication.
#include "claude/key_index.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// One 64x64->128-bit multiply folded to 64 bits: every input bit reaches every output bit.
std::uint64_t mix(std::uint64_t a, std::uint64_t b) {
#if defined(__SIZEOF_INT128__)
  __extension__ using Wide = unsigned __int128;
  const Wide product = static_cast<Wide>(a) * b;
  return static_cast<std::uint64_t>(product) ^ static_cast<std::uint64_t>(product >> 64);
#else
  const std::uint64_t lo = a * b;
  const std::uint64_t x = (a ^ (a >> 29)) * (b | 1);
  return lo ^ x ^ (x >> 31);
#endif
}

constexpr std::uint64_t kPrime0 = 0xa0761d6478bd642full;
constexpr std::uint64_t kPrime1 = 0xe7037ed1a0b428dbull;
constexpr std::uint64_t kPrime2 = 0x8ebc6af09c88c6e3ull;

std::uint64_t load_tail(const char* p, std::size_t n) {
  std::uint64_t word = 0;
  if (n > 0) std::memcpy(&word, p, n);  // an empty view may have no data pointer at all
  return word;
}

}  // namespace

std::uint64_t hash_bytes(std::string_view bytes, std::uint64_t seed) {
  std::uint64_t h = mix(seed ^ kPrime0, kPrime1) ^ bytes.size();
  const char* p = bytes.data();
  std::size_t n = bytes.size();
  for (; n >= 16; p += 16, n -= 16) {
    std::uint64_t a, b;
    std::memcpy(&a, p, 8);
    std::memcpy(&b, p + 8, 8);
    h = mix(a ^ h ^ kPrime1, b ^ kPrime2) ^ h;
  }
  const std::size_t head = std::min<std::size_t>(n, 8);
  h = mix(load_tail(p, head) ^ h ^ kPrime1, load_tail(p + head, n - head) ^ kPrime2) ^ h;
  return mix(h ^ kPrime0, kPrime1 ^ seed);
}

void KeyIndex::insert(std::uint64_t hash, std::uint32_t id) {
  if ((used_ + 1) * 4 > slots_.size() * 3) rehash(slots_.empty() ? 16 : slots_.size() * 2);
  const auto tag = static_cast<std::uint32_t>(hash >> 32);
  const std::size_t mask = slots_.size() - 1;
  std::size_t at = tag & mask;
  while (slots_[at].id_plus_one != 0) at = (at + 1) & mask;
  slots_[at] = Slot{tag, id + 1};
  ++used_;
}

void KeyIndex::reserve(std::size_t count) {
  std::size_t slots = 16;
  while (count * 4 > slots * 3) slots *= 2;
  rehash(std::max(slots, slots_.size()));  // never smaller; called before the keys go in
}

void KeyIndex::rehash(std::size_t slot_count) {
  const std::vector<Slot> old = std::exchange(slots_, std::vector<Slot>(slot_count));
  const std::size_t mask = slot_count - 1;
  for (const Slot& slot : old) {
    if (slot.id_plus_one == 0) continue;
    std::size_t at = slot.tag & mask;
    while (slots_[at].id_plus_one != 0) at = (at + 1) & mask;
    slots_[at] = slot;
  }
}
