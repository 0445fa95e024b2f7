// Reads the fast-tier default out of the Codex configuration file.
#include "codex/config.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string>

#include "util/interrupted.h"
#include "util/path.h"
#include "util/text.h"

namespace {

// Reads a whole regular file. Anything else is refused before reading: a FIFO would block
// the run until some writer appeared, and a device such as /dev/zero would never end.
std::optional<std::string> read_regular_file(const std::string& path, bool* unopened) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (unopened != nullptr) *unopened = errno == EMFILE || errno == ENFILE;
    return std::nullopt;
  }
  std::optional<std::string> text;
  struct stat status;
  if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
    // Read straight into the text: a file that grew since fstat just takes more rounds.
    text.emplace();
    std::size_t length = 0;
    std::size_t room = static_cast<std::size_t>(status.st_size) + 1;
    while (true) {
      text->resize(length + room);
      const ssize_t n = retry_interrupted([&] { return read(fd, text->data() + length, room); });
      if (n < 0) text.reset();  // a read error leaves no text
      if (n <= 0) break;
      length += static_cast<std::size_t>(n);
      room = std::max<std::size_t>(room, 16384);
    }
    if (text) text->resize(length);
  }
  close(fd);
  return text;
}

// The text between the surrounding quote characters; any number of either kind, in any mix.
std::string_view strip_quotes(std::string_view value) {
  const std::size_t begin = value.find_first_not_of("\"'");
  if (begin == std::string_view::npos) return {};
  const std::size_t end = value.find_last_not_of("\"'");
  return value.substr(begin, end - begin + 1);
}

}  // namespace

bool fast_default_from_config_text(std::string_view text) {
  if (!is_valid_utf8(text)) return false;
  for (std::string_view rest = text; !rest.empty();) {
    const std::size_t end = std::min(rest.find('\n'), rest.size());
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    // Not TOML: a '#' ends the line even inside quotes. A CR before the LF goes with the trim.
    line = trim_unicode_space(line.substr(0, line.find('#')));
    if (line.starts_with('[')) return false;  // a table header: the top level is over
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    if (trim_unicode_space(line.substr(0, equals)) != "service_tier") continue;
    const std::string_view value = strip_quotes(trim_unicode_space(line.substr(equals + 1)));
    return value == "priority" || value == "fast";
  }
  return false;
}

bool read_codex_fast_default(const Environment& env, bool* unopened) {
  const std::optional<std::string> home = codex_home(env);
  const std::optional<std::string> text =
      home ? read_regular_file(join_path(*home, "config.toml"), unopened) : std::nullopt;
  return text && fast_default_from_config_text(*text);
}
