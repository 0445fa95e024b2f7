// Which zone the C library uses: the one place that knows where each platform keeps its files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "time/zone.h"
#include "util/interrupted.h"

namespace {

// Real zone files are below 200 KiB; a larger one is read by the C library alone.
constexpr std::size_t kMaxZoneFileSize = std::size_t{4} << 20;

enum class ZoneFile { absent, read, unknown };

struct Descriptor {
  int fd;
  ~Descriptor() { close(fd); }  // -1 included: close fails harmlessly
};

// The directories the C library looks in for a zone file, in its order.
std::vector<std::string> zone_directories() {
#if defined(__GLIBC__)
  if (const char* dir = std::getenv("TZDIR"); dir != nullptr && *dir != '\0') return {dir};
  return {"/usr/share/zoneinfo"};
#elif defined(__APPLE__)
  return {"/var/db/timezone/zoneinfo"};
#elif defined(__linux__)
  return {"/usr/share/zoneinfo", "/share/zoneinfo", "/etc/zoneinfo"};  // musl
#else
  return {"/usr/share/zoneinfo"};
#endif
}

bool read_as_rule_only(std::string_view tz) {
#if defined(__linux__) && !defined(__GLIBC__)
  return musl_reads_as_rule_only(tz);
#else
  (void)tz;
  return false;
#endif
}

// What the C library finds at `path`: nothing it can open, a zone file, or something we cannot
// be sure it reads as we do.
ZoneFile read_zone_path(const std::string& path, ZoneChanges& changes) {
  // Non-blocking: a FIFO named by TZ must not hang the run.
  const Descriptor file{open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)};
  if (file.fd < 0) {
    const bool missing = errno == ENOENT || errno == ENOTDIR || errno == EACCES ||
                         errno == ENAMETOOLONG || errno == ELOOP;
    return missing ? ZoneFile::absent : ZoneFile::unknown;
  }
  struct stat info {};
  if (fstat(file.fd, &info) != 0) return ZoneFile::unknown;
  if (S_ISDIR(info.st_mode)) return ZoneFile::absent;
  if (!S_ISREG(info.st_mode) || static_cast<std::uint64_t>(info.st_size) > kMaxZoneFileSize) {
    return ZoneFile::unknown;
  }
  // One byte more than stat said, to notice a file that grew.
  std::string content(static_cast<std::size_t>(info.st_size) + 1, '\0');
  std::size_t have = 0;
  while (have < content.size()) {
    const ssize_t n = retry_interrupted(
        [&] { return read(file.fd, content.data() + have, content.size() - have); });
    if (n < 0) return ZoneFile::unknown;
    if (n == 0) break;
    have += static_cast<std::size_t>(n);
  }
  if (have + 1 != content.size()) return ZoneFile::unknown;
  content.resize(have);
  // The libraries take a file without the magic for no zone file at all.
  if (!content.starts_with("TZif")) return ZoneFile::absent;
  return read_zone_file(content, changes) ? ZoneFile::read : ZoneFile::unknown;
}

ZoneChanges read_process_zone() {
  ZoneChanges changes;
  const char* tz = std::getenv("TZ");
  std::string_view name = tz == nullptr ? "/etc/localtime" : tz;
  if (tz != nullptr && name.empty()) {
#if defined(__GLIBC__)
    name = "Universal";  // glibc's name for an empty TZ; the others take UTC outright
#else
    changes.known = true;
    return changes;
#endif
  }
  if (read_as_rule_only(name)) {
    const std::optional<ZoneRule> rule = parse_zone_rule(name);
    if (rule) changes.rules.push_back(*rule);
    changes.known = rule.has_value();
    return changes;
  }
  if (name.starts_with(':')) name.remove_prefix(1);
  if (name.empty()) return changes;
  std::vector<std::string> paths = {std::string(name)};
  if (name.front() != '/') {
    paths = zone_directories();
    for (std::string& path : paths) path += "/" + std::string(name);
  }
  for (const std::string& path : paths) {
    const ZoneFile file = read_zone_path(path, changes);
    if (file == ZoneFile::absent) continue;
    changes.known = file == ZoneFile::read;
    return changes;
  }
  // No file: the C library reads the name as a rule, and with no TZ or an empty one takes UTC.
  if (tz == nullptr || name == "Universal") {
    changes.known = true;
  } else if (const std::optional<ZoneRule> rule = parse_zone_rule(name)) {
    changes.rules.push_back(*rule);
    changes.known = true;
  }
  return changes;
}

}  // namespace

bool musl_reads_as_rule_only(std::string_view tz) {
  const std::size_t slash = tz.find('/');
  return !tz.starts_with(':') && (slash == std::string_view::npos || tz.find(',') < slash);
}

ZoneChanges load_process_zone() {
  ZoneChanges changes = read_process_zone();
  // Logs are written in these years; the rules of others are worked out when met.
  fold_rule_changes(changes, 1900, 2200);
  return changes;
}
