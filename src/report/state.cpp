// Folds usage events into report groups and totals, and merges states.
#include "report/state.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

namespace {

std::size_t agent_index(AgentKind agent) {
  return agent == AgentKind::claude ? 0 : 1;
}

std::uint64_t event_tokens(const UsageEvent& event) {
  std::uint64_t total = saturating_add(event.input, event.output);
  total = saturating_add(total, event.cache_write_5m);
  total = saturating_add(total, event.cache_write_1h);
  return saturating_add(total, event.cache_read);
}

// Searches once and inserts only a missing id, so a repeated model costs no allocation.
void insert_model(std::set<std::string, std::less<>>& models, std::string_view model) {
  const auto at = models.lower_bound(model);
  if (at == models.end() || *at != model) models.emplace_hint(at, model);
}

bool admits(AgentFilter filter, AgentKind agent) {
  switch (filter) {
    case AgentFilter::claude:
      return agent == AgentKind::claude;
    case AgentFilter::codex:
      return agent == AgentKind::codex;
    case AgentFilter::both:
      break;
  }
  return true;
}

bool in_date_range(const RunOptions& options, std::string_view day_key) {
  // std::string_view compares as unsigned bytes, shorter first on a common prefix, which is
  // what lets "--until 2025-03" end before the first day of March.
  if (options.since && day_key < std::string_view(*options.since)) return false;
  if (options.until && day_key > std::string_view(*options.until)) return false;
  return true;
}

std::string& label_of(ReportView view, UsageEvent& event) {
  switch (view) {
    case ReportView::daily:
      return event.day_key;
    case ReportView::monthly:
      return event.month_key;
    case ReportView::session:
      break;
  }
  return event.session_id;
}

// The group key of the event: "day|agent|model", "month|agent|model" or "agent|session". It is
// built on the stack when short, so an event of a group that exists allocates nothing.
class GroupKey {
 public:
  GroupKey(ReportView view, const UsageEvent& event) {
    const std::string_view agent = agent_name(event.agent);
    if (view == ReportView::session) {
      build({agent, "|", event.session_id});
    } else {
      build({view == ReportView::daily ? event.day_key : event.month_key, "|", agent, "|",
             event.model});
    }
  }

  std::string_view text() const { return text_; }

 private:
  void build(std::initializer_list<std::string_view> parts) {
    std::size_t size = 0;
    for (const std::string_view part : parts) size += part.size();
    char* out = room_.data();
    if (size > room_.size()) {
      long_.resize(size);
      out = long_.data();
    }
    text_ = std::string_view(out, size);
    for (const std::string_view part : parts) out = std::copy(part.begin(), part.end(), out);
  }

  std::array<char, 128> room_;
  std::string long_;
  std::string_view text_;
};

}  // namespace

void add_event(ReportState& state, const RunOptions& options, UsageEvent&& event) {
  if (!admits(options.agent_filter, event.agent)) return;
  if (!in_date_range(options, event.day_key)) return;

  const std::size_t agent = agent_index(event.agent);
  const std::uint64_t tokens = event_tokens(event);
  state.agent_cost_usd[agent] += event.cost_usd;
  state.agent_tokens[agent] = saturating_add(state.agent_tokens[agent], tokens);
  if (!event.priced) {
    state.unpriced_tokens = saturating_add(state.unpriced_tokens, tokens);
    insert_model(state.unpriced_models, event.model);
  }

  const GroupKey key(options.view, event);
  auto found = state.groups.find(key.text());
  if (found == state.groups.end()) {
    ReportGroup fresh;
    fresh.key = key.text();
    fresh.label = std::move(label_of(options.view, event));
    fresh.agent = event.agent;
    found = state.groups.emplace(std::string(key.text()), std::move(fresh)).first;
  }

  ReportGroup& group = found->second;
  group.cost_usd += event.cost_usd;
  group.input = saturating_add(group.input, event.input);
  group.output = saturating_add(group.output, event.output);
  std::uint64_t cache = saturating_add(event.cache_write_5m, event.cache_write_1h);
  cache = saturating_add(cache, event.cache_read);
  group.cache = saturating_add(group.cache, cache);
  insert_model(group.models, event.model);
  if (group.project.empty() && !event.project.empty()) group.project = std::move(event.project);
  group.last_active_ms = std::max(group.last_active_ms, event.event_time_ms);
}

void merge_states(ReportState& into, ReportState&& from) {
  for (std::size_t agent = 0; agent < 2; ++agent) {
    into.agent_cost_usd[agent] += from.agent_cost_usd[agent];
    into.agent_tokens[agent] = saturating_add(into.agent_tokens[agent], from.agent_tokens[agent]);
  }
  into.unpriced_tokens = saturating_add(into.unpriced_tokens, from.unpriced_tokens);
  into.unpriced_models.merge(from.unpriced_models);

  for (auto it = from.groups.begin(); it != from.groups.end();) {
    const auto found = into.groups.find(std::string_view(it->first));
    if (found == into.groups.end()) {
      // A group new to `into` moves over whole: adding it to a zeroed group would give the
      // same fields, at the price of copying every text.
      auto next = std::next(it);
      into.groups.insert(from.groups.extract(it));
      it = next;
      continue;
    }
    ReportGroup& group = found->second;
    const ReportGroup& incoming = it->second;
    group.cost_usd += incoming.cost_usd;
    group.input = saturating_add(group.input, incoming.input);
    group.output = saturating_add(group.output, incoming.output);
    group.cache = saturating_add(group.cache, incoming.cache);
    for (const std::string& model : incoming.models) insert_model(group.models, model);
    if (group.project.empty()) group.project = incoming.project;
    group.last_active_ms = std::max(group.last_active_ms, incoming.last_active_ms);
    ++it;
  }
  from = ReportState{};
}
