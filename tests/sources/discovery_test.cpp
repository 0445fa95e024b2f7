#include "sources/discovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "support/process.h"

namespace {

using Files = std::vector<std::string>;

// Paths relative to `base`, sorted when the order is not what a test checks.
Files relative(const Files& files, const std::string& base, bool sort = false) {
  Files out;
  for (const std::string& f : files) out.push_back(f.substr(std::min(f.size(), base.size() + 1)));
  if (sort) std::sort(out.begin(), out.end());
  return out;
}

TEST(discovery, extension_rule_and_links_inside_a_root) {
  TempDir dir;
  const std::string root = dir.path() + "/root";
  for (const char* name : {"a.jsonl", "a.b.jsonl", "..jsonl", "a.JSONL", ".jsonl", "a.jsonl.bak",
                           "a.json", "jsonl", "d.jsonl/x.txt"}) {
    write_file(root + "/" + name, "");
  }
  write_file(dir.path() + "/outside/o.jsonl", "");
  ASSERT_EQ(symlink("../outside/o.jsonl", (root + "/file-link.jsonl").c_str()), 0);
  ASSERT_EQ(symlink("../outside", (root + "/dir-link").c_str()), 0);
  ASSERT_EQ(symlink("root", (dir.path() + "/root-link").c_str()), 0);

  const Files expected{"..jsonl", "a.b.jsonl", "a.jsonl"};
  EXPECT_EQ(relative(collect_jsonl_files(root), root, true), expected);
  // A root that is itself a link is walked, under its own name.
  EXPECT_EQ(
      relative(collect_jsonl_files(dir.path() + "/root-link"), dir.path() + "/root-link", true),
      expected);
  EXPECT_TRUE(collect_jsonl_files(root + "/a.jsonl").empty());
}

TEST(discovery, directory_files_before_subtrees_last_found_subtree_first) {
  TempDir dir;
  const std::string& root = dir.path();
  write_file(root + "/top.jsonl", "");
  for (const char* sub : {"s1", "s2", "s3"}) {
    write_file(root + "/" + sub + "/deeper/g.jsonl", "");
    write_file(root + "/" + sub + "/f.jsonl", "");
  }
  Files expected{"top.jsonl"};  // then the subtrees in reverse listing order
  DIR* listing = opendir(root.c_str());
  while (const dirent* entry = readdir(listing)) {
    const std::string name = entry->d_name;
    if (name.starts_with("s"))
      expected.insert(expected.begin() + 1, {name + "/f.jsonl", name + "/deeper/g.jsonl"});
  }
  closedir(listing);
  EXPECT_EQ(relative(collect_jsonl_files(root), root), expected);
}

TEST(discovery, unreadable_subdirectory_is_skipped_and_its_siblings_walked) {
  TempDir dir;
  const std::string root = dir.path() + "/root";
  for (const char* file : {"/a/x.jsonl", "/locked/hidden.jsonl", "/z/y.jsonl"})
    write_file(root + file, "");
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  ASSERT_EQ(chmod((root + "/locked").c_str(), 0), 0);
  // Root ignores permissions, so the walk runs in a child that gives up root first.
  const pid_t pid = fork();
  if (pid == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
    _exit(relative(collect_jsonl_files(root), root, true) == Files{"a/x.jsonl", "z/y.jsonl"} ? 0
                                                                                             : 1);
  }
  int status = -1;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(discovery, very_deep_tree_is_walked_past_path_max) {
  // In memory where possible: removing thousands of directories from a disk that discards
  // freed blocks takes a millisecond each.
  TempDir fallback;
  std::string path = "/dev/shm/meterly-test-XXXXXX";
  if (mkdtemp(path.data()) == nullptr) path = fallback.path();
  const int top = open(path.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(top, 0);
  constexpr int kDepth = 5000;
  int fd = dup(top);
  for (int level = 1; level <= kDepth && fd >= 0; ++level) {
    mkdirat(fd, "d", 0755);
    const int next = openat(fd, "d", O_RDONLY | O_DIRECTORY);
    close(fd);
    fd = next;
    if (level % 1000 == 0) close(openat(fd, "f.jsonl", O_CREAT | O_WRONLY, 0644));
  }
  close(fd);
  const Files files = collect_jsonl_files(path);
  // Take the chain apart from the top, moving each child up, so no path ever gets long.
  for (int d; (d = openat(top, "d", O_RDONLY | O_DIRECTORY)) >= 0;) {
    unlinkat(d, "f.jsonl", 0);
    const bool child = renameat(d, "d", top, "next") == 0;
    close(d);
    unlinkat(top, "d", AT_REMOVEDIR);
    if (!child || renameat(top, "next", top, "d") != 0) break;
  }
  close(top);
  if (path != fallback.path()) rmdir(path.c_str());

  ASSERT_EQ(files.size(), 5u);
  std::string deepest;
  for (int i = 0; i < kDepth; ++i) deepest += "d/";
  EXPECT_EQ(files.back(), path + "/" + deepest + "f.jsonl");
}

TEST(discovery, claude_candidates_trimmed_in_order_and_walked_once) {
  TempDir dir;
  const std::string& base = dir.path();
  const std::string home = base + "/home";
  for (const char* file :
       {"/a/projects/1.jsonl", "/b/projects/2.jsonl", "/home/.claude/projects/3.jsonl",
        "/home/.config/claude/projects/4.jsonl"}) {
    write_file(base + file, "");
  }
  write_file(base + "/c/projects", "a file is no root");
  Environment env;
  env.home = home;
  // Blanks, a no-break space and an ideographic space around pieces; the default directory
  // spelled differently, which keeps the first spelling.
  env.claude_config_dir =
      " " + base + "/a\t,\u00a0" + base + "/b\u3000," + home + "//./.claude/," + base + "/c";
  EXPECT_EQ(relative(find_claude_files(env), base),
            (Files{"a/projects/1.jsonl", "b/projects/2.jsonl", "home//./.claude/projects/3.jsonl",
                   "home/.config/claude/projects/4.jsonl"}));
  env.claude_config_dir = base + "/a\xff";  // not UTF-8: ignored whole, the defaults remain
  EXPECT_EQ(relative(find_claude_files(env), base),
            (Files{"home/.claude/projects/3.jsonl", "home/.config/claude/projects/4.jsonl"}));
  EXPECT_TRUE(find_claude_files(Environment{}).empty());
  EXPECT_TRUE(find_codex_files(Environment{}).empty());
}

TEST(discovery, empty_values_name_the_working_directory) {
  TempDir dir;
  const std::string& base = dir.path();
  for (const char* file : {"/projects/p.jsonl", "/sessions/s.jsonl", "/archived_sessions/a.jsonl",
                           "/home/.codex/sessions/h.jsonl", "/other/sessions/o.jsonl"}) {
    write_file(base + file, "");
  }
  Environment env;
  env.home = base + "/home";
  EXPECT_EQ(relative(find_codex_files(env), base), (Files{"home/.codex/sessions/h.jsonl"}));
  env.codex_home = base + "/other";
  EXPECT_EQ(relative(find_codex_files(env), base), (Files{"other/sessions/o.jsonl"}));

  const std::filesystem::path saved = std::filesystem::current_path();
  std::filesystem::current_path(base);
  env.codex_home = "";  // HOME is not consulted
  env.claude_config_dir = "/nonexistent,,";
  const Files codex = find_codex_files(env);
  const Files claude = find_claude_files(env);
  std::filesystem::current_path(saved);
  EXPECT_EQ(codex, (Files{"sessions/s.jsonl", "archived_sessions/a.jsonl"}));
  EXPECT_EQ(claude, (Files{"projects/p.jsonl"}));
}

}  // namespace
