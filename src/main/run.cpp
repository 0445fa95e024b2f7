#include "main/run.h"

#include <unistd.h>
#include <cstring>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "main/options.h"
#include "main/output.h"
#include "util/text.h"

namespace {

constexpr int kFailure = 2;

// Shows an argument with every byte that breaks UTF-8 as \xHH, so the message itself is text.
std::string escape_invalid_utf8(std::string_view arg) {
  std::string out;
  std::size_t i = 0;
  while (i < arg.size()) {
    std::size_t len = 1;
    for (std::size_t k = 4; k >= 1; --k) {
      if (i + k <= arg.size() && is_valid_utf8(arg.substr(i, k))) {
        len = k;
        break;
      }
    }
    const auto byte = static_cast<unsigned char>(arg[i]);
    if (len == 1 && byte >= 0x80) {
      static constexpr char kHex[] = "0123456789abcdef";
      out.append("\\x").push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 0xF]);
    } else {
      out.append(arg.substr(i, len));
    }
    i += len;
  }
  return out;
}

std::string system_error_text(int error) {
  char buffer[256];
  return strerror_r(error, buffer, sizeof buffer);
}

}  // namespace

int run(std::span<char* const> argv) {
  std::vector<std::string_view> args;
  for (std::size_t i = 0; i < argv.size(); ++i) {
    const std::string_view arg = argv[i];
    if (!is_valid_utf8(arg)) {
      const std::string message =
          "meterly: argument is not valid UTF-8: \"" + escape_invalid_utf8(arg) + "\"\n";
      write_all(STDERR_FILENO, message);
      return kFailure;
    }
    if (i > 0) args.push_back(arg);
  }

  auto parsed = parse_command_line(args);
  if (auto* early = std::get_if<EarlyExit>(&parsed)) {
    write_all(STDERR_FILENO, early->err);
    if (const int error = write_all(STDOUT_FILENO, early->out)) {
      write_all(STDERR_FILENO, "meterly: cannot write output: " + system_error_text(error) + "\n");
      return kFailure;
    }
    return early->status;
  }
  write_all(STDOUT_FILENO, "No usage found.\n");
  return 0;
}
