// Compact storage of one transcript's events: interned texts, contexts and 44-byte records.
#include "claude/file_usage.h"

#include <cstring>
#include <limits>
#include <tuple>

#include "pricing/price.h"

namespace {

constexpr std::uint64_t kUnsigned32 = std::numeric_limits<std::uint32_t>::max();

std::uint64_t context_hash(const EventContext& c) {
  const std::uint32_t ids[5] = {c.day_key, c.month_key, c.session_id, c.project, c.model};
  char bytes[sizeof ids + sizeof c.price];
  std::memcpy(bytes, ids, sizeof ids);
  std::memcpy(bytes + sizeof ids, &c.price, sizeof c.price);
  return hash_bytes(std::string_view(bytes, sizeof bytes));
}

// Everything but the base instant, which only stores the events' times compactly.
bool same_context(const EventContext& a, const EventContext& b) {
  return std::tie(a.day_key, a.month_key, a.session_id, a.project, a.model, a.price) ==
         std::tie(b.day_key, b.month_key, b.session_id, b.project, b.model, b.price);
}

}  // namespace

std::uint32_t TextTable::intern(std::string_view text) {
  // A finished table drops its index; a late addition builds it again.
  if (index_.size() != ends_.size()) {
    index_ = KeyIndex();
    for (std::uint32_t id = 0; id < ends_.size(); ++id) index_.insert(hash_bytes(at(id)), id);
  }
  const std::uint64_t hash = hash_bytes(text);
  if (const auto found = index_.find(hash, [&](std::uint32_t id) { return at(id) == text; })) {
    return *found;
  }
  const auto id = static_cast<std::uint32_t>(ends_.size());
  bytes_.append(text);
  ends_.push_back(bytes_.size());
  index_.insert(hash, id);
  return id;
}

void TextTable::shrink() {
  bytes_.shrink_to_fit();
  ends_.shrink_to_fit();
  index_ = KeyIndex();
}

DedupHash hash_dedup_key(std::string_view key_text, std::uint64_t message_id_hash) {
  const std::uint64_t low = hash_bytes(key_text, 1);
  return {static_cast<std::uint32_t>(low), static_cast<std::uint32_t>(low >> 32),
          static_cast<std::uint32_t>(message_id_hash),
          static_cast<std::uint32_t>(message_id_hash >> 32)};
}

std::uint32_t FileUsage::context_for(const EventTexts& t, const PriceEntry* price,
                                     std::int64_t event_time_ms) {
  // Lines of a file mostly share their context with the line before; the day names the month.
  if (last_context_ < contexts.size()) {
    const EventContext& last = contexts[last_context_];
    if (std::tuple(last.price, texts.at(last.model), texts.at(last.day_key),
                   texts.at(last.session_id), texts.at(last.project)) ==
        std::tuple(price, t.model, t.day_key, t.session_id, t.project)) {
      return last_context_;
    }
  }
  EventContext wanted;
  wanted.day_key = texts.intern(t.day_key);
  wanted.month_key = texts.intern(t.month_key);
  wanted.session_id = texts.intern(t.session_id);
  wanted.project = texts.intern(t.project);
  wanted.model = texts.intern(t.model);
  wanted.price = price;
  wanted.base_ms = event_time_ms;
  if (context_index_.size() != contexts.size()) {
    context_index_ = KeyIndex();
    for (std::uint32_t id = 0; id < contexts.size(); ++id) {
      context_index_.insert(context_hash(contexts[id]), id);
    }
  }
  const std::uint64_t hash = context_hash(wanted);
  const auto found = context_index_.find(
      hash, [&](std::uint32_t id) { return same_context(contexts[id], wanted); });
  if (found) return last_context_ = *found;
  last_context_ = static_cast<std::uint32_t>(contexts.size());
  context_index_.insert(hash, last_context_);
  contexts.push_back(wanted);
  return last_context_;
}

std::uint32_t FileUsage::import_context(const FileUsage& from, std::uint32_t context) {
  const EventContext& c = from.contexts[context];
  const EventTexts t{from.texts.at(c.day_key), from.texts.at(c.month_key),
                     from.texts.at(c.session_id), from.texts.at(c.project), from.texts.at(c.model)};
  return context_for(t, c.price, c.base_ms);
}

HeldEvent FileUsage::hold(std::uint32_t context, std::int64_t event_time_ms,
                          const TokenCounts& counts, const DedupHash& key) {
  HeldEvent held;
  held.key = key;
  held.context = context;
  const std::int64_t base = contexts[context].base_ms;
  // The events of one local day lie within hours of each other; anything else is an oddity
  // kept at full width. Unsigned arithmetic: no instant can overflow the test.
  constexpr std::uint64_t kReach = std::numeric_limits<std::int32_t>::max() / 2;
  const bool near =
      static_cast<std::uint64_t>(event_time_ms) - static_cast<std::uint64_t>(base) + kReach <=
      2 * kReach;
  bool narrow = near;
  for (const std::uint64_t count : counts) narrow = narrow && count <= kUnsigned32;
  if (narrow) {
    held.offset_ms = static_cast<std::int32_t>(event_time_ms - base);
    for (std::size_t i = 0; i < counts.size(); ++i) {
      held.counts[i] = static_cast<std::uint32_t>(counts[i]);
    }
  } else {
    held.context |= HeldEvent::kWide;
    held.counts[0] = static_cast<std::uint32_t>(wide.size());
    wide.push_back(Wide{event_time_ms, counts});
  }
  return held;
}

std::int64_t FileUsage::event_time_ms(const HeldEvent& event) const {
  if ((event.context & HeldEvent::kWide) != 0) return wide[event.counts[0]].event_time_ms;
  return contexts[event.context & HeldEvent::kContextMask].base_ms + event.offset_ms;
}

TokenCounts FileUsage::counts(const HeldEvent& event) const {
  if ((event.context & HeldEvent::kWide) != 0) return wide[event.counts[0]].counts;
  return {event.counts[0], event.counts[1], event.counts[2], event.counts[3], event.counts[4]};
}

std::uint64_t FileUsage::output(const HeldEvent& event) const {
  if ((event.context & HeldEvent::kWide) != 0) return wide[event.counts[0]].counts[1];
  return event.counts[1];
}

UsageEvent FileUsage::event(const HeldEvent& held) const {
  const EventContext& c = contexts[held.context & HeldEvent::kContextMask];
  UsageEvent out;
  out.day_key.assign(texts.at(c.day_key));
  out.month_key.assign(texts.at(c.month_key));
  out.session_id.assign(texts.at(c.session_id));
  out.project.assign(texts.at(c.project));
  out.model.assign(texts.at(c.model));
  out.event_time_ms = event_time_ms(held);
  const TokenCounts n = counts(held);
  out.input = n[0];
  out.output = n[1];
  out.cache_write_5m = n[2];
  out.cache_write_1h = n[3];
  out.cache_read = n[4];
  // The price was found when the event was read; the sum is done now, the same way.
  out.priced = c.price != nullptr;
  out.cost_usd = c.price != nullptr ? cost_of(*c.price, n[0], n[1], n[2], n[3], n[4]) : 0.0;
  out.agent = AgentKind::claude;
  return out;
}

void FileUsage::shrink() {
  texts.shrink();
  context_index_ = KeyIndex();
  contexts.shrink_to_fit();
  wide.shrink_to_fit();
  unkeyed.shrink_to_fit();
  keyed.shrink_to_fit();
  unkeyed_message_ids.shrink_to_fit();
}
