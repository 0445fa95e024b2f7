#include "claude/key_index.h"

#include <utility>

void KeyIndex::insert(std::size_t hash, std::size_t id) {
  // At most half full, so probe runs stay short.
  if ((used_ + 1) * 2 > slots_.size()) grow();
  const std::size_t mask = slots_.size() - 1;
  std::size_t at = hash & mask;
  while (slots_[at].id_plus_one != 0) at = (at + 1) & mask;
  slots_[at] = Slot{hash, id + 1};
  ++used_;
}

void KeyIndex::grow() {
  std::vector<Slot> old =
      std::exchange(slots_, std::vector<Slot>(slots_.empty() ? 16 : slots_.size() * 2));
  const std::size_t mask = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (slot.id_plus_one == 0) continue;
    std::size_t at = slot.hash & mask;
    while (slots_[at].id_plus_one != 0) at = (at + 1) & mask;
    slots_[at] = slot;
  }
}
