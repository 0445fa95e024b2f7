#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "json/byte_scan.h"
#include "json/scanner.h"
#include "util/search.h"
#include "util/text.h"

namespace {

void check(bool ok) {
  if (!ok) __builtin_trap();
}

const char* reference_string_end(const char* p, const char* end) {
  while (p < end) {
    const char c = *p++;
    if (c == '"') return p;
    if (c == '\\' && p++ == end) return end;
  }
  return end;
}

std::size_t naive_find(std::string_view hay, std::string_view needle) {
  for (std::size_t i = 0; i + needle.size() <= hay.size(); ++i) {
    if (hay.compare(i, needle.size(), needle) == 0) return i;
  }
  return std::string_view::npos;
}

// Reads one member's value the way a reader would, chosen by the key or, for keys no reader
// wants, by the byte the value starts with. Owned and viewed reads must agree.
void walk_object(JsonCursor& cursor, int depth) {
  std::string scratch;
  while (true) {
    JsonCursor owned_cursor = cursor;
    const std::optional<std::string> owned_key = next_key(owned_cursor);
    const std::optional<std::string_view> key = next_key_view(cursor, scratch);
    check(owned_key == key && owned_cursor.pos == cursor.pos);
    if (!key) return;
    check(cursor.pos <= cursor.bytes.size());

    const std::size_t before = cursor.pos;
    const unsigned choice =
        key->empty() ? static_cast<unsigned char>(cursor.bytes[before % cursor.bytes.size()])
                     : static_cast<unsigned char>(key->back());
    switch (choice % 4) {
      case 0: {
        JsonCursor copy = cursor;
        const std::optional<std::string> owned = read_string_value(copy);
        check(read_string_value_view(cursor, scratch) == owned && copy.pos == cursor.pos);
        break;
      }
      case 1:
        read_u64(cursor);
        break;
      case 2:
        if (depth < 64 && begin_object(cursor)) {
          walk_object(cursor, depth + 1);
        } else {
          skip_value(cursor);
        }
        break;
      default:
        skip_value(cursor);
        break;
    }
    check(cursor.pos >= before && cursor.pos <= cursor.bytes.size());
  }
}

// The first bytes pick needles cut from the input itself, so matches and near misses occur.
void check_search(std::string_view input) {
  if (input.size() < 2) return;
  const std::size_t count = 1 + static_cast<unsigned char>(input[0]) % 4;
  std::vector<std::string_view> needles;
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t at = static_cast<unsigned char>(input[1]) * (k + 1) % input.size();
    const std::size_t length = 2 + (static_cast<unsigned char>(input[0]) >> 2) * (k + 3) % 24;
    needles.push_back(input.substr(at, length));
  }
  std::size_t first = std::string_view::npos;
  for (const std::string_view needle : needles) {
    const std::size_t expected = naive_find(input, needle);
    check(find_substring(input, needle) == expected);
    check(line_contains(input, needle) == (expected != std::string_view::npos));
    first = std::min(first, expected);
  }
  check(NeedleSet(needles).find_first(input) == first);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  JsonCursor cursor{input, 0};
  if (begin_object(cursor)) walk_object(cursor, 0);
  check(cursor.pos <= size);

  // Every operation on a fresh cursor, from every one of the first few positions.
  for (std::size_t start = 0; start < std::min<std::size_t>(size, 8); ++start) {
    JsonCursor a{input, start};
    skip_value(a);
    check(a.pos >= start && a.pos <= size);
    JsonCursor b{input, start};
    const std::optional<std::string> text = read_string(b);
    check(b.pos >= start && b.pos <= size && (!text || is_valid_utf8(*text)));
    if (input[start] == '"') {
      const char* end = input.data() + size;
      check(find_string_end(input.data() + start + 1, end) ==
            reference_string_end(input.data() + start + 1, end));
    }
    JsonCursor c{input, start};
    read_u64(c);
    check(c.pos >= start && c.pos <= size);
  }
  check_search(input);
  return 0;
}
