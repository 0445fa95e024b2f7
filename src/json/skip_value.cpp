// The general skip over a JSON value of any kind: nesting kept as a stack of bits.
#include "json/skip_value.h"

#include <array>
#include <cstdint>
#include <vector>

#include "json/byte_scan.h"
#include "json/scanner.h"

namespace {

// Bytes that end a number, literal or junk run: whitespace, ',', ']' and '}'.
constexpr std::array<bool, 256> make_scalar_stops() {
  std::array<bool, 256> stops{};
  for (const char c : {' ', '\t', '\n', '\r', ',', ']', '}'})
    stops[static_cast<unsigned char>(c)] = true;
  return stops;
}

constexpr std::array<bool, 256> kScalarStops = make_scalar_stops();

inline const char* skip_scalar(const char* p, const char* end) {
#ifdef METERLY_BYTES16
  // Numbers and literals are a few bytes long: finding the stop among 16 at once spares the
  // mispredicted exit of a byte loop.
  if (end - p >= 16) {
    const char* const stop = find_scalar_stop_16(p);
    if (stop != p + 16) return stop;
    p = stop;
  }
#endif
  while (p < end && !kScalarStops[static_cast<unsigned char>(*p)]) ++p;
  return p;
}

// Which containers are open, innermost last, one bit each (set for an object). Ordinary lines
// fit in the inline words; only freak nesting spills to the heap.
class NestingStack {
 public:
  bool empty() const { return depth_ == 0; }

  void push(bool object) {
    const std::size_t index = depth_++;
    std::uint64_t& word = word_at(index / 64);
    const std::uint64_t bit = std::uint64_t{1} << (index % 64);
    // A word's first bit starts it afresh, so the words need no clearing up front.
    const std::uint64_t kept = index % 64 == 0 ? 0 : word;
    word = object ? kept | bit : kept & ~bit;
  }

  void pop() { --depth_; }

  bool top_is_object() const {
    const std::size_t index = depth_ - 1;
    const std::size_t word = index / 64;
    const std::uint64_t bits = word < kInlineWords ? inline_[word] : spill_[word - kInlineWords];
    return (bits >> (index % 64) & 1) != 0;
  }

 private:
  static constexpr std::size_t kInlineWords = 16;

  std::uint64_t& word_at(std::size_t word) {
    if (word < kInlineWords) return inline_[word];
    if (word - kInlineWords == spill_.size()) spill_.push_back(0);
    return spill_[word - kInlineWords];
  }

  std::array<std::uint64_t, kInlineWords> inline_;
  std::vector<std::uint64_t> spill_;
  std::size_t depth_ = 0;
};

}  // namespace

// Each container is left on the first byte that neither separates nor closes it, and the
// container around it then looks at that same byte; the end of the line ends every level.
void skip_value_general(JsonCursor& cursor) {
  const char* const begin = cursor.bytes.data();
  const char* const end = begin + cursor.bytes.size();
  const char* p = skip_json_space(begin + cursor.pos, end);
  // Most skipped values are strings or scalars: they need no nesting stack to be set up.
  if (p == end) {
    cursor.pos = static_cast<std::size_t>(p - begin);
    return;
  }
  if (*p == '"') {
    cursor.pos = static_cast<std::size_t>(find_string_end(p + 1, end) - begin);
    return;
  }
  if (*p != '[' && *p != '{') {
    cursor.pos = static_cast<std::size_t>(skip_scalar(p, end) - begin);
    return;
  }
  NestingStack open;
  enum class Step { value, member, after_value };
  Step step = Step::value;
  for (;;) {
    if (step == Step::member) {
      p = skip_json_space(p, end);
      if (p < end && *p == '"') p = find_string_end(p + 1, end);
      p = skip_json_space(p, end);
      if (p < end && *p == ':') ++p;
      step = Step::value;
    }
    if (step == Step::value) {
      p = skip_json_space(p, end);
      if (p == end) break;
      const char c = *p;
      if (c == '"') {
        p = find_string_end(p + 1, end);
      } else if (c == '[' || c == '{') {
        p = skip_json_space(p + 1, end);
        if (p == end) break;
        if (*p != (c == '[' ? ']' : '}')) {
          open.push(c == '{');
          step = c == '{' ? Step::member : Step::value;
          continue;
        }
        ++p;
      } else {
        p = skip_scalar(p, end);
      }
      step = Step::after_value;
    }
    if (open.empty()) break;
    p = skip_json_space(p, end);
    if (p == end) break;
    if (*p == ',') {
      ++p;
      step = open.top_is_object() ? Step::member : Step::value;
      continue;
    }
    if (*p == (open.top_is_object() ? '}' : ']')) ++p;
    open.pop();
  }
  cursor.pos = static_cast<std::size_t>(p - begin);
}
