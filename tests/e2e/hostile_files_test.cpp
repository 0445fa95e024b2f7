// Hostile file systems: what discovery meets below a root besides regular .jsonl files. None of
// it may block, loop, crash or print; the report holds the baseline and at most the rows of
// files that discovery is allowed, but not obliged, to reach.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>

#include "e2e/hostile_home.h"

namespace {

namespace fs = std::filesystem;

constexpr int kTreeDepth = 5000;

const std::string kOutsideLine =
    R"({"type":"assistant","message":{"model":"x-outside","usage":{"input_tokens":5}},"timestamp":"2025-04-11T00:00:00Z","cwd":"/w/outside"})"
    "\n";

std::string outside_rollout() {
  return meta_line("2025-04-11T01:00:00Z") + "\n" +
         context_line("2025-04-11T01:00:01Z", "x-codex-outside", "/w/outside") + "\n" +
         token_line("2025-04-11T01:00:05Z", R"("total_token_usage":)" + usage_json(6, 0, 1)) + "\n";
}

// Builds dir/d/d/.../d, `depth` levels, with `name` holding `content` at the bottom. It goes
// through directory descriptors because the full path is far longer than PATH_MAX.
bool make_deep_tree(const std::string& dir, int depth, const std::string& name,
                    const std::string& content) {
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (int level = 0; fd >= 0 && level < depth; ++level) {
    mkdirat(fd, "d", 0755);
    const int next = openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    close(fd);
    fd = next;
  }
  if (fd < 0) return false;
  const int file = openat(fd, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  close(fd);
  if (file < 0) return false;
  const bool written =
      write(file, content.data(), content.size()) == static_cast<ssize_t>(content.size());
  close(file);
  return written;
}

// Removes what make_deep_tree built, climbing back up through ".." one level at a time, since
// no path to the bottom is short enough for the temporary directory's own recursive removal.
void remove_deep_tree(const std::string& dir, const std::string& name) {
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  int depth = 0;
  for (int next; fd >= 0 && (next = openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) >= 0;
       ++depth) {
    close(fd);
    fd = next;
  }
  if (fd < 0) return;
  unlinkat(fd, name.c_str(), 0);
  for (; depth > 0; --depth) {
    const int parent = openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    close(fd);
    if (parent < 0) return;
    fd = parent;
    unlinkat(fd, "d", AT_REMOVEDIR);
  }
  close(fd);
}

bool make_socket(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool bound = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return bound;
}

/// A temporary home on a memory file system where there is one: removing a 5,000-deep tree
/// costs milliseconds per directory on some disk file systems, seconds in all.
class ScratchHome {
 public:
  ScratchHome() {
    for (std::string pattern : {"/dev/shm/meterly-test-XXXXXX", "/tmp/meterly-test-XXXXXX"}) {
      if (mkdtemp(pattern.data()) != nullptr) {
        path_ = pattern;
        break;
      }
    }
  }
  ~ScratchHome() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  ScratchHome(const ScratchHome&) = delete;
  ScratchHome& operator=(const ScratchHome&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

/// One hostile file-system layout, the extra row sets any of which the report may add, and the
/// clean-up it needs before the temporary home can be removed.
struct FilesCase {
  std::string name;
  std::function<void(const std::string& home)> plant;
  std::vector<std::vector<ExtraGroup>> allowed_extra = {{}};
  std::function<void(const std::string& home)> clean_up = [](const std::string&) {};
};

const ExtraGroup kTreeRow = {
    "2025-04-12", "claude", "tree", "x-tree", 3, 0, 0, "2025-04-12T00:00:00.000Z"};
const ExtraGroup kCodexTreeRow = {
    "2025-04-12", "codex", "tree", "x-codex-tree", 4, 1, 0, "2025-04-12T01:00:05.000Z"};

void plant_deep_trees(const std::string& home) {
  const std::string claude = claude_root(home) + "/-Users-dev-tree";
  const std::string codex = codex_root(home) + "/tree";
  fs::create_directories(claude);
  fs::create_directories(codex);
  ASSERT_TRUE(make_deep_tree(
      claude, kTreeDepth, "bottom.jsonl",
      R"({"type":"assistant","message":{"model":"x-tree","usage":{"input_tokens":3}},"timestamp":"2025-04-12T00:00:00Z","cwd":"/w/tree"})"
      "\n"));
  ASSERT_TRUE(make_deep_tree(
      codex, kTreeDepth, rollout_name(40),
      meta_line("2025-04-12T01:00:00Z") + "\n" +
          context_line("2025-04-12T01:00:01Z", "x-codex-tree", "/w/tree") + "\n" +
          token_line("2025-04-12T01:00:05Z", R"("total_token_usage":)" + usage_json(4, 0, 1)) +
          "\n"));
}

void remove_deep_trees(const std::string& home) {
  remove_deep_tree(claude_root(home) + "/-Users-dev-tree", "bottom.jsonl");
  remove_deep_tree(codex_root(home) + "/tree", rollout_name(40));
}

// Links that loop back into the root or lead out of it; none of them is followed.
void plant_link_loops(const std::string& home) {
  write_file(home + "/outside/claude/o.jsonl", kOutsideLine);
  write_file(home + "/outside/codex/" + rollout_name(41), outside_rollout());
  for (const auto& [root, outside] : {std::pair{claude_root(home), home + "/outside/claude"},
                                      std::pair{codex_root(home), home + "/outside/codex"}}) {
    const fs::path loop = fs::path(root) / "loop";
    fs::create_directories(loop);
    fs::create_directory_symlink(".", loop / "self");
    fs::create_directory_symlink("..", loop / "up");
    fs::create_directory_symlink("b", loop / "a");
    fs::create_directory_symlink("a", loop / "b");
    fs::create_directory_symlink(outside, loop / "outside");
    fs::create_symlink(fs::directory_iterator(outside)->path(), loop / "linked.jsonl");
  }
}

// A FIFO nobody writes to would block an open for reading forever.
void plant_special_files(const std::string& home) {
  for (const std::string& root : {claude_root(home), codex_root(home)}) {
    const std::string dir = root + "/special";
    fs::create_directories(dir);
    ASSERT_EQ(mkfifo((dir + "/fifo.jsonl").c_str(), 0644), 0);
    ASSERT_TRUE(make_socket(dir + "/sock.jsonl"));
    fs::create_symlink("/nonexistent/missing.jsonl", dir + "/dangling.jsonl");
    fs::create_symlink("fifo.jsonl", dir + "/fifo-link.jsonl");
  }
}

void plant_config_fifo(const std::string& home) {
  ASSERT_EQ(mkfifo((home + "/.codex/config.toml").c_str(), 0644), 0);
}

void plant_config_directory(const std::string& home) {
  fs::create_directories(home + "/.codex/config.toml/inner");
}

// Root reads through chmod 000, and the suite runs as root, so the unreadable file is a
// directory named like a log; the permission cases only apply when run as another user.
void plant_unreadable(const std::string& home) {
  for (const std::string& root : {claude_root(home), codex_root(home)}) {
    fs::create_directories(root + "/x.jsonl");
    write_file(root + "/y.jsonl/notes.txt", "{\"input_tokens\":1}\n");
  }
  if (geteuid() == 0) return;
  write_file(claude_root(home) + "/locked/l.jsonl", kOutsideLine);
  write_file(claude_root(home) + "/closed/c.jsonl", kOutsideLine);
  chmod((claude_root(home) + "/locked/l.jsonl").c_str(), 0);
  chmod((claude_root(home) + "/closed").c_str(), 0);
}

void restore_unreadable(const std::string& home) {
  chmod((claude_root(home) + "/closed").c_str(), 0755);
}

const std::vector<FilesCase>& files_cases() {
  static const std::vector<FilesCase> cases = {
      // The bottom file may be listed (and then read or not, its path being over PATH_MAX) or
      // skipped; either agent's row may be there or not.
      {"directory_tree_5000_deep",
       plant_deep_trees,
       {{}, {kTreeRow}, {kCodexTreeRow}, {kTreeRow, kCodexTreeRow}},
       remove_deep_trees},
      {"symbolic_link_loops", plant_link_loops},
      {"fifo_socket_dangling_link", plant_special_files},
      {"codex_config_is_a_fifo", plant_config_fifo},
      {"codex_config_is_a_directory", plant_config_directory},
      {"unreadable_files", plant_unreadable, {{}}, restore_unreadable},
  };
  return cases;
}

class HostileFiles : public testing::TestWithParam<std::size_t> {};

TEST_P(HostileFiles, report_holds_only_the_reachable_usage) {
  const FilesCase& c = files_cases()[GetParam()];
  ScratchHome home;
  ASSERT_FALSE(home.path().empty());
  write_baseline(home.path());
  c.plant(home.path());
  if (!HasFatalFailure()) {
    std::vector<std::string> expected;
    for (const auto& extra : c.allowed_extra) expected.push_back(report_with(extra));
    check_home(c.name, home.path(), expected);
  }
  c.clean_up(home.path());
}

INSTANTIATE_TEST_SUITE_P(hostile, HostileFiles,
                         testing::Range<std::size_t>(0, files_cases().size()),
                         [](const auto& info) { return files_cases()[info.param].name; });

}  // namespace
