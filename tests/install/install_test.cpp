// Installs this build tree into a temporary prefix, once, and checks what a user of it meets.
#include <gtest/gtest.h>
#include <unistd.h>

#include "support/process.h"

namespace {

// A program found on a plain PATH, with a home that does not exist; 127 when there is none.
ProcessResult run_plain(const std::vector<std::string>& argv) {
  RunSpec spec;
  spec.env = {{"PATH", "/usr/bin:/bin"}, {"HOME", "/nonexistent"}, {"TERM", "dumb"}};
  std::vector<std::string> command = {"/usr/bin/env"};
  command.insert(command.end(), argv.begin(), argv.end());
  return run_program(command, spec);
}

class install : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    installed_ = run_plain(
        {METERLY_CMAKE_COMMAND, "--install", METERLY_BUILD_DIR, "--prefix", prefix_.path()});
  }
  void SetUp() override { ASSERT_EQ(installed_.status, 0) << installed_.out << installed_.err; }
  static std::string at(const std::string& relative) { return prefix_.path() + "/" + relative; }

  static inline const TempDir prefix_;
  static inline ProcessResult installed_;
};

TEST_F(install, places_binary_manual_and_completions_where_each_tool_looks) {
  EXPECT_EQ(access(at("bin/meterly").c_str(), X_OK), 0);
  const std::pair<const char*, const char*> files[] = {
      {"share/man/man1/meterly.1", "doc/meterly.1"},
      {"share/bash-completion/completions/meterly", "completions/meterly.bash"},
      {"share/zsh/site-functions/_meterly", "completions/_meterly"},
      {"share/fish/vendor_completions.d/meterly.fish", "completions/meterly.fish"}};
  for (const auto& [installed, source] : files) {
    const std::string expected = read_file(std::string(METERLY_SOURCE_DIR "/") + source);
    EXPECT_FALSE(expected.empty()) << source;
    EXPECT_EQ(read_file(at(installed)), expected) << installed;
  }
}

TEST_F(install, installed_binary_answers_help_and_version) {
  for (const char* arg : {"--help", "-h", "-v", "--version"}) {
    const ProcessResult result = run_plain({at("bin/meterly"), arg});
    EXPECT_EQ(result.status, 0) << arg;
    EXPECT_NE(result.out, "") << arg;
    EXPECT_EQ(result.out, run_plain({meterly_binary(), arg}).out) << arg;
  }
}

TEST_F(install, bash_registers_the_completion) {
  const std::string script =
      "source '" + at("share/bash-completion/completions/meterly") + "' && complete -p meterly";
  const ProcessResult result = run_plain({"bash", "--norc", "--noprofile", "-c", script});
  if (result.status == 127) GTEST_SKIP() << "bash is not installed";
  EXPECT_EQ(result.out + result.err, "complete -F _meterly meterly\n");
}

TEST_F(install, manual_page_formats_without_a_warning_and_names_this_version) {
  const std::string version = run_plain({meterly_binary(), "--version"}).out;
  const std::string title = "\"meterly " + version.substr(0, version.find('\n')) + "\"";
  EXPECT_NE(read_file(at("share/man/man1/meterly.1")).find(title), std::string::npos) << title;
  const ProcessResult result =
      run_plain({"groff", "-ww", "-man", "-z", at("share/man/man1/meterly.1")});
  if (result.status == 127) GTEST_SKIP() << "groff is not installed";
  EXPECT_EQ(result.out + result.err, "");
  EXPECT_EQ(result.status, 0);
}

}  // namespace
