// A 64-bit hash of byte strings and a hash index from hashes to item ids.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

/// 64 well-mixed bits of a byte string; `seed` picks one of many independent-looking functions.
std::uint64_t hash_bytes(std::string_view bytes, std::uint64_t seed = 0);

/// A hash index from 64-bit hashes to the ids of the items that hold them. The items stay with
/// their owner, who tells whether an id's item is the one looked for, so the index never points
/// into memory that may move. Eight bytes a slot, at most three quarters full.
class KeyIndex {
 public:
  /// The id stored for an item with `hash` for which `same(id)` holds.
  template <class Same>
  std::optional<std::uint32_t> find(std::uint64_t hash, Same&& same) const {
    if (slots_.empty()) return std::nullopt;
    const std::size_t mask = slots_.size() - 1;
    const auto tag = static_cast<std::uint32_t>(hash >> 32);
    for (std::size_t at = tag & mask;; at = (at + 1) & mask) {
      const Slot& slot = slots_[at];
      if (slot.id_plus_one == 0) return std::nullopt;
      if (slot.tag == tag && same(slot.id_plus_one - 1)) return slot.id_plus_one - 1;
    }
  }

  /// Stores `id` for an item that find did not find.
  void insert(std::uint64_t hash, std::uint32_t id);

  /// Makes room for `count` ids in all, so that inserting them never grows the table.
  void reserve(std::size_t count);

  /// Number of stored ids.
  std::size_t size() const { return used_; }

 private:
  struct Slot {
    std::uint32_t tag = 0;          // the hash's high half, which also places the slot
    std::uint32_t id_plus_one = 0;  // 0: empty
  };
  void rehash(std::size_t slot_count);

  std::vector<Slot> slots_;
  std::size_t used_ = 0;
};
