#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

/// A hash index from de-duplication keys to the ids of the events that hold them. The key texts
/// stay with the events, so the index never points into strings that may move.
class KeyIndex {
 public:
  /// The hash that find and insert take; computed once per key by the caller.
  static std::size_t hash(std::string_view key) { return std::hash<std::string_view>{}(key); }

  /// The id stored for `key`; `key_of(id)` must give the key text of every stored id.
  template <class KeyOf>
  std::optional<std::size_t> find(std::string_view key, std::size_t hash, KeyOf&& key_of) const {
    if (slots_.empty()) return std::nullopt;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
      const Slot& slot = slots_[at];
      if (slot.id_plus_one == 0) return std::nullopt;
      if (slot.hash == hash && key_of(slot.id_plus_one - 1) == key) return slot.id_plus_one - 1;
    }
  }

  /// Stores `id` under a key that find did not find.
  void insert(std::size_t hash, std::size_t id);

  /// Number of stored ids.
  std::size_t size() const { return used_; }

 private:
  struct Slot {
    std::size_t hash = 0;
    std::size_t id_plus_one = 0;  // 0: empty
  };
  void grow();

  std::vector<Slot> slots_;
  std::size_t used_ = 0;
};
