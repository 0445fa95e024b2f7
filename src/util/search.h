// Fast substring search and a set of needles searched for in one pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

/// The first position of `needle` in `haystack`, or npos. An empty needle is found at 0.
std::size_t find_substring(std::string_view haystack, std::string_view needle);

/// A few needles searched for together in one pass over large buffers where matches are rare.
class NeedleSet {
 public:
  /// Meant for up to `kJoint` needles of two bytes or more; any other set is searched correctly
  /// too, only far more slowly. The set keeps its own copies of the needles.
  explicit NeedleSet(std::span<const std::string_view> needles);

  /// The most needles that one pass compares together.
  static constexpr std::size_t kJoint = 5;

  /// The smallest start position of any needle in `haystack`, or npos when none occurs.
  std::size_t find_first(std::string_view haystack) const;
  /// find_first as builds without vector instructions run it: the same answer, more slowly.
  std::size_t find_first_portable(std::string_view haystack) const;

  /// The two bytes of a needle that the block search compares, and their offsets in it.
  struct Probe {
    std::uint32_t first_offset = 0;
    std::uint32_t second_offset = 0;
    unsigned char first = 0;
    unsigned char second = 0;
  };

 private:
  // Scan: the kernel that searches the joint set.
  template <auto Scan>
  std::size_t find(std::string_view haystack) const;

  std::vector<std::string> needles_;
  std::vector<Probe> probes_;
  std::size_t min_length_ = 0;
  std::size_t max_offset_ = 0;
  bool has_empty_ = false;
  bool has_shared_ = false;
  unsigned char shared_ = 0;
  std::size_t shared_offset_ = 0;
};

/// The two bytes of a non-empty `needle` that a search compares first: its rarest in agent logs,
/// at two offsets (the same one for a needle of one byte).
NeedleSet::Probe probe_of(std::string_view needle);

/// For a set of two needles or more, the byte that all of them have at one offset, the rarest in
/// agent logs (the first among equals), with that offset; a block of text without it there holds
/// no start of any needle.
std::optional<std::pair<unsigned char, std::size_t>> shared_byte(
    std::span<const std::string> needles);
