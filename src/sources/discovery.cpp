// Walks the agents' log directories for .jsonl files, however deep.
#include "sources/discovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <unordered_set>

#include "sources/open_path.h"
#include "util/path.h"
#include "util/text.h"

namespace {

constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

bool is_directory(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool has_jsonl_extension(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  return dot != std::string_view::npos && dot != 0 && name.substr(dot + 1) == "jsonl";
}

// Opens the directories of one walk. A deep tree yields paths longer than PATH_MAX, which the
// kernel refuses; those are opened relative to the long directory opened last (the anchor): the
// walk goes depth first, so the next one is most often its child and the cost stays one openat
// per directory however deep the walk goes.
class DirectoryOpener {
 public:
  DirectoryOpener() = default;
  DirectoryOpener(const DirectoryOpener&) = delete;
  DirectoryOpener& operator=(const DirectoryOpener&) = delete;
  ~DirectoryOpener() { drop_anchor(); }

  int open(const std::string& path, int flags) {
    if (path.size() < PATH_MAX) return ::open(path.c_str(), flags);
    int fd = -1;
    const std::size_t name = child_of_anchor(path);
    if (name != std::string::npos) {
      fd = openat(anchor_fd_, path.c_str() + name, flags);
    } else {
      drop_anchor();  // two descriptors at most, even here
      fd = open_path(path, flags);
    }
    drop_anchor();
    if (fd >= 0) {
      anchor_fd_ = fcntl(fd, F_DUPFD_CLOEXEC, 0);
      if (anchor_fd_ >= 0) anchor_path_ = path;
    }
    return fd;
  }

 private:
  // Where the name of `path` starts when the anchor is its parent, else npos.
  std::size_t child_of_anchor(const std::string& path) const {
    if (anchor_path_.empty()) return std::string::npos;  // no anchor
    const std::size_t slash = path.rfind('/');
    if (slash != anchor_path_.size() || path.compare(0, slash, anchor_path_) != 0) {
      return std::string::npos;
    }
    return slash + 1;
  }

  void drop_anchor() {
    if (anchor_fd_ >= 0) close(anchor_fd_);
    anchor_fd_ = -1;
    anchor_path_.clear();
  }

  int anchor_fd_ = -1;
  std::string anchor_path_;
};

// The kind of a listed entry; its own status is read only when the listing does not say.
unsigned char entry_kind(DIR* listing, const dirent& entry) {
  if (entry.d_type != DT_UNKNOWN) return entry.d_type;
  struct stat status;
  if (fstatat(dirfd(listing), entry.d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) return DT_UNKNOWN;
  if (S_ISDIR(status.st_mode)) return DT_DIR;
  if (S_ISREG(status.st_mode)) return DT_REG;
  return DT_LNK;  // anything else is ignored alike
}

void append_roots_files(const std::vector<std::string>& roots, std::vector<std::string>& files,
                        std::string* unopened) {
  for (const std::string& root : roots) {
    std::vector<std::string> found = collect_jsonl_files(root, unopened);
    if (files.empty()) {
      files = std::move(found);
    } else {
      files.insert(files.end(), std::make_move_iterator(found.begin()),
                   std::make_move_iterator(found.end()));
    }
  }
}

}  // namespace

std::vector<std::string> find_claude_files(const Environment& env, std::string* unopened) {
  std::vector<std::string> candidates;
  if (env.claude_config_dir && is_valid_utf8(*env.claude_config_dir)) {
    const std::string_view value = *env.claude_config_dir;
    std::size_t start = 0;
    while (true) {
      const std::size_t comma = value.find(',', start);
      const std::size_t end = comma == std::string_view::npos ? value.size() : comma;
      candidates.push_back(
          join_path(trim_unicode_space(value.substr(start, end - start)), "projects"));
      if (comma == std::string_view::npos) break;
      start = comma + 1;
    }
  }
  if (env.home) {
    candidates.push_back(join_path(join_path(*env.home, ".claude"), "projects"));
    candidates.push_back(
        join_path(join_path(join_path(*env.home, ".config"), "claude"), "projects"));
  }

  std::unordered_set<std::string> seen;
  std::vector<std::string> roots;
  for (std::string& candidate : candidates) {
    if (!seen.insert(normalized_path(candidate)).second) continue;
    if (is_directory(candidate)) roots.push_back(std::move(candidate));
  }
  std::vector<std::string> files;
  append_roots_files(roots, files, unopened);
  return files;
}

std::vector<std::string> find_codex_files(const Environment& env, std::string* unopened) {
  const std::optional<std::string> home = codex_home(env);
  if (!home) return {};
  std::vector<std::string> roots;
  for (const char* name : {"sessions", "archived_sessions"}) {
    std::string candidate = join_path(*home, name);
    if (is_directory(candidate)) roots.push_back(std::move(candidate));
  }
  std::vector<std::string> files;
  append_roots_files(roots, files, unopened);
  return files;
}

std::vector<std::string> collect_jsonl_files(const std::string& root, std::string* unopened) {
  std::vector<std::string> files;
  std::vector<std::string> stack{root};
  DirectoryOpener opener;
  // The root itself may be a link to a directory; below it, a link is never followed.
  int flags = kDirectoryFlags;
  while (!stack.empty()) {
    const std::string dir = std::move(stack.back());
    stack.pop_back();
    const int fd = opener.open(dir, flags);
    flags = kDirectoryFlags | O_NOFOLLOW;
    if (fd < 0) {
      // A directory we may not list is skipped; one we could not open for want of a descriptor
      // would silently shorten the report, so the caller hears of it.
      if ((errno == EMFILE || errno == ENFILE) && unopened != nullptr && unopened->empty()) {
        *unopened = dir;
      }
      continue;
    }
    DIR* listing = fdopendir(fd);
    if (listing == nullptr) {
      close(fd);
      continue;
    }
    // readdir reports a failure half-way as the end of the listing: what was seen stands.
    while (const dirent* entry = readdir(listing)) {
      const std::string_view name = entry->d_name;
      if (name == "." || name == "..") continue;
      const unsigned char kind = entry_kind(listing, *entry);
      if (kind == DT_DIR) {
        stack.push_back(join_path(dir, name));
      } else if (kind == DT_REG && has_jsonl_extension(name)) {
        files.push_back(join_path(dir, name));
      }
    }
    closedir(listing);
  }
  return files;
}
