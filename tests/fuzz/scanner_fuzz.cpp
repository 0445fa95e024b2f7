// Arbitrary bytes through the JSON scanner and substring search; fast paths must agree with slow.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "json/scanner.h"
#include "util/search.h"
#include "util/text.h"

#define CHECK(condition) ((condition) ? void() : __builtin_trap())

namespace {

// Reads each member's value as some reader would, chosen by the key's last byte.
void walk_object(JsonCursor& cursor, int depth) {
  std::string scratch;
  for (JsonCursor owned = cursor;; owned = cursor) {
    JsonCursor general = cursor;
    std::string general_scratch;
    const std::optional<std::string> owned_key = next_key(owned);
    const std::optional<std::string_view> key = next_key_view(cursor, scratch);
    CHECK(owned_key == key && owned.pos == cursor.pos && cursor.pos <= cursor.bytes.size());
    CHECK(next_key_view_general(general, general_scratch) == key && general.pos == cursor.pos);
    if (!key) return;
    const std::size_t before = cursor.pos;
    owned = cursor;
    unsigned choice = key->empty() ? 3 : static_cast<unsigned char>(key->back()) % 4;
    if (choice == 0) CHECK(read_string_value_view(cursor, scratch) == read_string_value(owned));
    if (choice == 1) CHECK(read_u64(cursor) == read_u64_general(owned));
    if (choice == 2 && !(depth < 64 && begin_object(cursor))) choice = 3;
    if (choice == 2) walk_object(cursor, depth + 1);
    if (choice == 3) skip_value(cursor);
    CHECK((choice >= 2 || owned.pos == cursor.pos) && cursor.pos >= before);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  JsonCursor cursor{input, 0};
  if (begin_object(cursor)) walk_object(cursor, 0);
  for (std::size_t start = 0; start < std::min<std::size_t>(size, 8); ++start) {
    JsonCursor a{input, start}, b{input, start}, c{input, start};
    skip_value(a);
    skip_value_general(c);
    CHECK(a.pos == c.pos);
    const std::optional<std::string> text = read_string(b);
    CHECK(a.pos >= start && a.pos <= size && b.pos >= start && b.pos <= size);
    CHECK(!text || is_valid_utf8(*text));
  }
  // Needles cut from the input itself, chosen by its first bytes, so that matches occur.
  if (size < 2) return 0;
  std::vector<std::string_view> needles;
  std::size_t first = std::string_view::npos;
  for (std::size_t k = 0; k <= data[0] % NeedleSet::kJoint; ++k) {
    needles.push_back(input.substr(data[1] * (k + 1) % size, 2 + (data[0] >> 2) * (k + 3) % 24));
    const std::size_t expected = input.find(needles.back());
    CHECK(find_substring(input, needles.back()) == expected);
    first = std::min(first, expected);
  }
  CHECK(NeedleSet(needles).find_first(input) == first);
  return 0;
}
