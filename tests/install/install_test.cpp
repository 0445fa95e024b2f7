#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/process.h"

namespace {

/// Where a program of that name is found on PATH; empty when it is not installed.
std::string find_program(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

/// Standard output of the built binary run with one argument.
std::string built_output(const std::string& arg) {
  RunSpec spec;
  spec.args = {arg};
  return run_meterly(spec).out;
}

/// The candidates of a completion listing: one per line, a description after a tab.
std::set<std::string> first_fields(const std::string& text) {
  std::set<std::string> words;
  for (const auto& line : lines_of(text)) {
    const std::string word = line.substr(0, line.find('\t'));
    if (!word.empty()) words.insert(word);
  }
  return words;
}

struct InstalledFile {
  const char* installed;  // relative to the prefix
  const char* source;     // relative to the source tree
};

constexpr InstalledFile kDataFiles[] = {
    {"share/man/man1/meterly.1", "doc/meterly.1"},
    {"share/bash-completion/completions/meterly", "completions/meterly.bash"},
    {"share/zsh/site-functions/_meterly", "completions/_meterly"},
    {"share/fish/vendor_completions.d/meterly.fish", "completions/meterly.fish"},
};

// Installs the build tree once for the whole suite: the install itself is what is under test,
// and repeating it per test would only cost time.
class install : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    prefix_ = std::make_unique<TempDir>();
    RunSpec spec;
    spec.env = {{"PATH", "/usr/bin:/bin"}, {"HOME", prefix_->path()}};
    install_result_ = run_program(
        {METERLY_CMAKE_COMMAND, "--install", METERLY_BUILD_DIR, "--prefix", prefix_->path()}, spec);
  }
  static void TearDownTestSuite() { prefix_.reset(); }

  void SetUp() override {
    ASSERT_EQ(install_result_.status, 0) << install_result_.out << install_result_.err;
  }

  static std::string at(const std::string& relative) { return prefix_->path() + "/" + relative; }

  // A scratch home, so that no shell started here reads or writes the user's own.
  static RunSpec shell_spec(const TempDir& home) {
    RunSpec spec;
    spec.env = {{"PATH", "/usr/bin:/bin"}, {"HOME", home.path()}, {"TERM", "dumb"}};
    return spec;
  }

  // What the completion function offers for a typed line; bash splits these simple words as
  // readline would.
  static std::set<std::string> offered_by_bash(const std::string& line) {
    const TempDir home;
    const std::string script = "source '" + at("share/bash-completion/completions/meterly") +
                               "'\n"
                               "read -ra COMP_WORDS <<<\"$1\"\n"
                               "[[ $1 == *' ' ]] && COMP_WORDS+=('')\n"
                               "COMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n"
                               "_meterly\n"
                               "printf '%s\\n' \"${COMPREPLY[@]}\"\n";
    const ProcessResult result =
        run_program({find_program("bash"), "--norc", "--noprofile", "-c", script, "bash", line},
                    shell_spec(home));
    EXPECT_EQ(result.status, 0) << line << result.err;
    return first_fields(result.out);
  }

  static std::set<std::string> offered_by_fish(const std::string& line) {
    const TempDir home;
    const std::string script = "source '" + at("share/fish/vendor_completions.d/meterly.fish") +
                               "'; complete -C '" + line + "'";
    const ProcessResult result =
        run_program({find_program("fish"), "--no-config", "-c", script}, shell_spec(home));
    EXPECT_EQ(result.status, 0) << line << result.err;
    return first_fields(result.out);
  }

  static std::unique_ptr<TempDir> prefix_;
  static ProcessResult install_result_;
};

std::unique_ptr<TempDir> install::prefix_;
ProcessResult install::install_result_;

TEST_F(install, places_binary_manual_and_completions) {
  struct stat info {};
  ASSERT_EQ(stat(at("bin/meterly").c_str(), &info), 0);
  EXPECT_TRUE(info.st_mode & S_IXUSR);
  for (const auto& file : kDataFiles) {
    const std::string expected = read_file(std::string(METERLY_SOURCE_DIR "/") + file.source);
    ASSERT_FALSE(expected.empty()) << file.source;
    EXPECT_EQ(read_file(at(file.installed)), expected) << file.installed;
  }
}

TEST_F(install, installed_binary_answers_help_and_version) {
  RunSpec spec;
  spec.env = {{"PATH", "/usr/bin:/bin"}};
  for (const char* arg : {"--help", "-h"}) {
    const ProcessResult help = run_program({at("bin/meterly"), arg}, spec);
    EXPECT_EQ(help.status, 0) << arg;
    EXPECT_EQ(help.out, built_output("--help")) << arg;
  }
  const ProcessResult version = run_program({at("bin/meterly"), "-v"}, spec);
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, built_output("-v"));
}

TEST_F(install, manual_page_formats_without_warnings_and_names_this_version) {
  const std::string page = read_file(at("share/man/man1/meterly.1"));
  const std::string version = built_output("--version");
  ASSERT_FALSE(version.empty());
  const std::string title_mark = "\"meterly " + version.substr(0, version.size() - 1) + "\"";
  bool title_found = false;
  for (const auto& line : lines_of(page)) {
    if (line.rfind(".TH ", 0) == 0) title_found = line.find(title_mark) != std::string::npos;
  }
  EXPECT_TRUE(title_found) << "the .TH line should carry " << title_mark;

  const std::string groff = find_program("groff");
  if (groff.empty()) GTEST_SKIP() << "groff is not installed";
  const ProcessResult check =
      run_program({groff, "-ww", "-man", "-z", at("share/man/man1/meterly.1")}, RunSpec{});
  EXPECT_EQ(check.status, 0);
  EXPECT_EQ(check.out + check.err, "");
}

TEST_F(install, bash_registers_the_completion) {
  const std::string bash = find_program("bash");
  if (bash.empty()) GTEST_SKIP() << "bash is not installed";
  const TempDir home;
  const std::string script =
      "source '" + at("share/bash-completion/completions/meterly") + "'; complete -p meterly";
  const ProcessResult result =
      run_program({bash, "--norc", "--noprofile", "-c", script}, shell_spec(home));
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "complete -F _meterly meterly\n");
  EXPECT_EQ(result.err, "");
}

struct CompletionCase {
  const char* line;  // what was typed before pressing Tab
  std::set<std::string> offered;
};

const CompletionCase kCompletionCases[] = {
    {"meterly --agent ", {"claude", "codex"}},
    {"meterly --agent cl", {"claude"}},
    {"meterly --since ", {}},
    {"meterly --json --until ", {}},
    {"meterly --ex", {"--exact"}},
    {"meterly --c", {"--claude", "--codex"}},
    {"meterly --json mo", {"monthly"}},
    {"meterly --since 2025-03-01 s", {"session"}},
};

TEST_F(install, bash_offers_the_expected_words) {
  if (find_program("bash").empty()) GTEST_SKIP() << "bash is not installed";
  for (const auto& c : kCompletionCases) EXPECT_EQ(offered_by_bash(c.line), c.offered) << c.line;
}

TEST_F(install, fish_offers_the_expected_words) {
  if (find_program("fish").empty()) GTEST_SKIP() << "fish is not installed";
  for (const auto& c : kCompletionCases) EXPECT_EQ(offered_by_fish(c.line), c.offered) << c.line;
}

TEST_F(install, zsh_reads_the_completion) {
  const std::string zsh = find_program("zsh");
  if (zsh.empty()) GTEST_SKIP() << "zsh is not installed";
  const TempDir home;
  const ProcessResult result =
      run_program({zsh, "-f", "-n", at("share/zsh/site-functions/_meterly")}, shell_spec(home));
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
}

// The help text is the one fixed list of words; the manual and every completion must keep
// up with it (plus --agent, which the help leaves out).
TEST_F(install, manual_and_completions_know_every_word_of_the_help) {
  std::set<std::string> words = {"daily", "monthly", "session", "--agent"};
  for (const auto& line : lines_of(built_output("--help"))) {
    std::istringstream tokens(line);
    for (std::string token; tokens >> token;) {
      if (token.back() == ',') token.pop_back();
      if (token.size() > 1 && token[0] == '-') words.insert(token);
    }
  }
  ASSERT_EQ(words.size(), 15u);

  const std::string manual = read_file(at("share/man/man1/meterly.1"));
  const std::string zsh = read_file(at("share/zsh/site-functions/_meterly"));
  for (const auto& word : words) {
    std::string roff;
    for (char c : word) roff += c == '-' ? "\\-" : std::string(1, c);
    EXPECT_NE(manual.find(roff), std::string::npos) << "manual: " << word;
    // An option spec ends the word with "[" or sits in a brace group; a command with "\:".
    const bool in_zsh =
        zsh.find(word + "[") != std::string::npos || zsh.find(word + ",") != std::string::npos ||
        zsh.find(word + "}") != std::string::npos || zsh.find(word + "\\:") != std::string::npos;
    EXPECT_TRUE(in_zsh) << "zsh: " << word;
  }
  if (!find_program("bash").empty()) {
    EXPECT_EQ(offered_by_bash("meterly "), words);
  }
  if (!find_program("fish").empty()) {
    std::set<std::string> fish = offered_by_fish("meterly ");
    fish.merge(offered_by_fish("meterly -"));
    EXPECT_EQ(fish, words);
  }
}

}  // namespace
