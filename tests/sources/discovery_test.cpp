#include "sources/discovery.h"

#include <algorithm>
#include <climits>
#include <filesystem>

#include <gtest/gtest.h>

#include "support/process.h"
#include "util/path.h"

namespace {

namespace fs = std::filesystem;
using Files = std::vector<std::string>;

// The paths relative to `base`, sorted when the order is not what the test checks.
Files relative(const Files& files, const std::string& base, bool sort = false) {
  Files out;
  for (const std::string& f : files) out.push_back(f.substr(std::min(f.size(), base.size() + 1)));
  if (sort) std::sort(out.begin(), out.end());
  return out;
}

TEST(discovery, extension_rule_links_and_walk_order) {
  TempDir dir;
  const std::string root = dir.path() + "/root", tree = dir.path() + "/tree";
  for (const char* name :
       {"root/a.jsonl", "root/a.b.jsonl", "root/..jsonl", "root/a.JSONL", "root/.jsonl",
        "root/a.jsonl.bak", "root/a.json", "root/jsonl", "root/d.jsonl/x.txt", "outside/o.jsonl",
        "tree/top.jsonl", "tree/s1/deeper/g.jsonl", "tree/s1/f.jsonl", "tree/s2/deeper/g.jsonl",
        "tree/s2/f.jsonl", "tree/s3/deeper/g.jsonl", "tree/s3/f.jsonl"})
    write_file(dir.path() + "/" + name, "");
  fs::create_symlink("../outside/o.jsonl", root + "/file-link.jsonl");
  fs::create_symlink("../outside", root + "/dir-link");
  fs::create_symlink("root", dir.path() + "/root-link");
  // A root that is itself a link is walked, under its own name.
  const Files kept{"..jsonl", "a.b.jsonl", "a.jsonl"};
  for (const std::string& walked : {root, dir.path() + "/root-link"})
    EXPECT_EQ(relative(collect_jsonl_files(walked), walked, true), kept) << walked;

  // A directory's files come before its subtrees, and the subtree listed last is walked first.
  Files expected{"top.jsonl"};
  for (const fs::directory_entry& entry : fs::directory_iterator(tree))
    if (const std::string name = entry.path().filename(); name.starts_with("s"))
      expected.insert(expected.begin() + 1, {name + "/f.jsonl", name + "/deeper/g.jsonl"});
  EXPECT_EQ(relative(collect_jsonl_files(tree), tree), expected);
}

TEST(discovery, candidate_roots_in_order_each_walked_once_by_their_components) {
  TempDir dir;
  const std::string& base = dir.path();
  for (const char* file : {"/a/projects/1.jsonl", "/b/projects/2.jsonl", "/projects/p.jsonl",
                           "/home/.claude/projects/3.jsonl",
                           "/home/.config/claude/projects/4.jsonl", "/home/.codex/sessions/h.jsonl",
                           "/sessions/s.jsonl", "/archived_sessions/a.jsonl", "/c/projects"})
    write_file(base + file, "");
  Environment env;
  env.home = base + "/home";
  // Blanks, a no-break space and an ideographic space around pieces; the default directory
  // spelled differently, which keeps the first spelling; a file for projects; an empty piece.
  env.claude_config_dir =
      " " + base + "/a\t,\u00a0" + base + "/b\u3000," + base + "/home//./.claude/," + base + "/c,";
  const fs::path saved = fs::current_path();
  fs::current_path(base);  // where the empty piece and CODEX_HOME point
  EXPECT_EQ(find_claude_files(env),
            (Files{base + "/a/projects/1.jsonl", base + "/b/projects/2.jsonl",
                   base + "/home//./.claude/projects/3.jsonl", "projects/p.jsonl",
                   base + "/home/.config/claude/projects/4.jsonl"}));
  EXPECT_EQ(relative(find_codex_files(env), base), (Files{"home/.codex/sessions/h.jsonl"}));
  env.codex_home = "";  // HOME is not consulted
  EXPECT_EQ(find_codex_files(env), (Files{"sessions/s.jsonl", "archived_sessions/a.jsonl"}));
  env.claude_config_dir = base + "/a\xff";  // not UTF-8: ignored whole, the defaults remain
  EXPECT_EQ(relative(find_claude_files(env), base),
            (Files{"home/.claude/projects/3.jsonl", "home/.config/claude/projects/4.jsonl"}));
  fs::current_path(saved);
  EXPECT_TRUE(find_claude_files(Environment{}).empty() && find_codex_files(Environment{}).empty());
  // clang-format off
  const std::pair<std::string_view, std::string_view> cases[] = {{"", ""}, {"/", "/"}, {".", "."},
      {"a//b/", "a/b"}, {"./a/./b/.", "./a/b"}, {"/./a", "/a"}, {"//a///b", "/a/b"}, {"../a", "../a"},
      {"a/..", "a/.."}, {"./.", "."}, {"/.", "/"}, {"a/./", "a"}};
  // clang-format on
  for (const auto& [path, normal] : cases) EXPECT_EQ(normalized_path(path), normal) << path;
}

// Directories at every length around the kernel's limit on a path, reached by walking down.
TEST(discovery, walks_directories_whose_paths_reach_path_max) {
  TempDir dir;
  const fs::path saved = fs::current_path();
  fs::current_path(dir.path());
  std::string path = dir.path();
  Files expected;
  for (const std::string piece(200, 'd'); path.size() + 252 < PATH_MAX;) {  // names stay short
    fs::create_directory(piece);
    fs::current_path(piece);
    path += "/" + piece;
  }
  // Siblings whose own paths are about PATH_MAX bytes long, each name the start of the longer
  // ones: a directory opened through another is opened through its own ancestors only.
  constexpr std::size_t kMax = PATH_MAX;
  for (const std::size_t length : {kMax - 1, kMax, kMax + 2, kMax + 4}) {
    const std::string name(length - path.size() - 1, 'a');
    fs::create_directory(name);
    write_file(name + "/x.jsonl", "");
    expected.push_back(path + "/" + name + "/x.jsonl");
  }
  fs::current_path(saved);
  Files found = collect_jsonl_files(dir.path());
  std::sort(found.begin(), found.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(found, expected);
}
}  // namespace
