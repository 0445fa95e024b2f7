#include "sources/discovery.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "support/process.h"

namespace {

using Files = std::vector<std::string>;

// The paths relative to `base`, sorted when the order is not what the test checks.
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
  const std::string linked = dir.path() + "/root-link";
  EXPECT_EQ(relative(collect_jsonl_files(linked), linked, true), expected);
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

TEST(discovery, candidate_roots_in_order_each_walked_once) {
  TempDir dir;
  const std::string& base = dir.path();
  for (const char* file :
       {"/a/projects/1.jsonl", "/b/projects/2.jsonl", "/projects/p.jsonl",
        "/home/.claude/projects/3.jsonl", "/home/.config/claude/projects/4.jsonl",
        "/home/.codex/sessions/h.jsonl", "/sessions/s.jsonl", "/archived_sessions/a.jsonl"}) {
    write_file(base + file, "");
  }
  write_file(base + "/c/projects", "a file is no root");
  Environment env;
  env.home = base + "/home";
  // Blanks, a no-break space and an ideographic space around pieces; the default directory
  // spelled differently, which keeps the first spelling; a last, empty piece.
  env.claude_config_dir =
      " " + base + "/a\t,\u00a0" + base + "/b\u3000," + base + "/home//./.claude/," + base + "/c,";
  const std::filesystem::path saved = std::filesystem::current_path();
  std::filesystem::current_path(base);  // where the empty piece and CODEX_HOME point
  const Files claude = find_claude_files(env);
  const Files codex_of_home = find_codex_files(env);
  env.codex_home = "";  // HOME is not consulted
  const Files codex = find_codex_files(env);
  env.claude_config_dir = base + "/a\xff";  // not UTF-8: ignored whole, the defaults remain
  const Files defaults = find_claude_files(env);
  std::filesystem::current_path(saved);

  EXPECT_EQ(claude, (Files{base + "/a/projects/1.jsonl", base + "/b/projects/2.jsonl",
                           base + "/home//./.claude/projects/3.jsonl", "projects/p.jsonl",
                           base + "/home/.config/claude/projects/4.jsonl"}));
  EXPECT_EQ(relative(codex_of_home, base), (Files{"home/.codex/sessions/h.jsonl"}));
  EXPECT_EQ(codex, (Files{"sessions/s.jsonl", "archived_sessions/a.jsonl"}));
  EXPECT_EQ(relative(defaults, base),
            (Files{"home/.claude/projects/3.jsonl", "home/.config/claude/projects/4.jsonl"}));
  EXPECT_TRUE(find_claude_files(Environment{}).empty());
  EXPECT_TRUE(find_codex_files(Environment{}).empty());
}

}  // namespace
