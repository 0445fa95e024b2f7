// The generator's own random numbers, so that a seed gives the same files with any standard
// library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace gen {

/// xoshiro256** seeded through splitmix64: small, fast and identical on every platform, unlike the
/// distributions of <random>, whose output differs between standard libraries.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) {
    for (auto& word : state_) {
      seed += 0x9e3779b97f4a7c15u;
      std::uint64_t z = seed;
      z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
      z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
      word = z ^ (z >> 31);
    }
  }

  std::uint64_t next() {
    const std::uint64_t result = rotl(state_[1] * 5, 7) * 9;
    const std::uint64_t t = state_[1] << 17;
    state_[2] ^= state_[0];
    state_[3] ^= state_[1];
    state_[1] ^= state_[2];
    state_[0] ^= state_[3];
    state_[2] ^= t;
    state_[3] = rotl(state_[3], 45);
    return result;
  }

  /// A number in [0, n); 0 when n is 0. The modulo bias is far below anything a log shows.
  std::uint64_t below(std::uint64_t n) { return n == 0 ? 0 : next() % n; }

  /// A number in [lo, hi].
  std::uint64_t between(std::uint64_t lo, std::uint64_t hi) { return lo + below(hi - lo + 1); }

  /// True with the given probability in parts per million (integers only: floating-point
  /// contraction differs between compilers and would change the files).
  bool chance(std::uint32_t per_million) { return below(1'000'000) < per_million; }

  template <typename Container>
  const auto& pick(const Container& items) {
    return items[static_cast<std::size_t>(below(std::size(items)))];
  }

  /// A new generator whose numbers do not depend on how many this one has drawn since.
  Rng fork() { return Rng(next()); }

 private:
  static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

  std::uint64_t state_[4] = {};
};

}  // namespace gen
