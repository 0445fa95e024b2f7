// Malformed logs and file-system oddities beside a well-formed baseline: each run must exit 0,
// silent and within its memory bound, reporting exactly the well-formed usage. Under resource
// limits a run reports exactly what an unconstrained one does, or fails with one line.
#include <gtest/gtest.h>

#include <limits.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <set>
#include <sstream>

#include "support/process.h"

namespace {

namespace fs = std::filesystem;
using Rows = std::vector<std::string>;

std::string sub(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
  return text;
}

std::string io(std::uint64_t in, std::uint64_t out) {
  return "\"input_tokens\":" + std::to_string(in) + ",\"output_tokens\":" + std::to_string(out);
}

// A Claude Code assistant turn; `usage` is the inside of its usage object.
std::string turn(const std::string& model, const std::string& usage) {
  return R"({"type":"assistant","timestamp":"2025-04-01T00:00:00Z","cwd":"/w/p","message":{"model":")" +
         model + R"(","usage":{)" + usage + "}}}\n";
}

std::string context(const std::string& model, const std::string& cwd = "/w/p") {
  return R"({"timestamp":"2025-04-01T01:00:01Z","type":"turn_context","payload":{"model":")" +
         model + R"(","cwd":")" + cwd + "\"}}\n";
}

std::string report(const std::string& info) {
  return R"({"timestamp":"2025-04-01T01:00:05Z","type":"event_msg","payload":{"type":"token_count","info":{)" +
         info + "}}}\n";
}

std::string totals(std::uint64_t in, std::uint64_t cached, std::uint64_t out) {
  return "\"total_token_usage\":{\"cached_input_tokens\":" + std::to_string(cached) + "," +
         io(in, out) + "}";
}

class hostile : public testing::Test {
 protected:
  void TearDown() override { run_program({"/bin/rm", "-rf", h}, RunSpec{}); }  // deep trees too

  std::string claude(std::string file = "-w-x/a.jsonl") { return h + "/.claude/projects/" + file; }
  std::string codex(int n) { return h + "/.codex/sessions/r-" + std::to_string(n) + ".jsonl"; }

  // Runs the daily JSON report, whose groups must be the baseline's and `want`, and the session
  // table, which prints them through other code; each within its memory bound.
  void check(Rows want, long rss_kib = 64 * 1024) {
    static const std::regex kGroup(
        R"re("period": "2025-04-01",\n.*"agent": "(.*)",\n.*"project": "(.*)",\n.*"models": \["(.*)"\],\n.*"input": (\d+),\n.*"output": (\d+),\n.*"cache": (\d+),)re");
    if (HasFailure()) return;
    write_file(claude("-w-base/a.jsonl"), turn("claude-opus-4-1", io(1200, 3400)));
    write_file(codex(0), context("gpt-5-codex") + report(totals(362000, 310000, 8100)));
    want.insert(want.end(), {"claude p [claude-opus-4-1] 1200 3400 0",
                             "codex p [gpt-5-codex] 52000 8100 310000"});
    std::multiset<std::string> got, expected(want.begin(), want.end());
    if (sanitized()) rss_kib = 8 * rss_kib + 512 * 1024;  // shadow memory, redzones, history
    for (const Rows& args : {Rows{"daily", "--json"}, Rows{"session", "--all"}}) {
      const std::string name =
          testing::UnitTest::GetInstance()->current_test_info()->name() + (" " + args[0]);
      const ProcessResult r = run_meterly(spec_for(args));
      EXPECT_EQ(r.status, 0) << name << (r.status == 128 + 9 ? ": hung" : "") << r.err;
      EXPECT_EQ(r.err, "") << name;
      EXPECT_LT(r.peak_rss_kib, rss_kib) << name;
      for (std::sregex_iterator at(r.out.begin(), r.out.end(), kGroup), end; at != end; ++at)
        got.insert(at->format("$1 $2 [$3] $4 $5 $6"));
    }
    EXPECT_EQ(got, expected);
  }

  RunSpec spec_for(Rows args) const {
    RunSpec spec;
    spec.env = {{"HOME", h}, {"TZ", "UTC"}, {"PATH", "/usr/bin:/bin"}, {"NO_COLOR", "1"}};
    spec.args = std::move(args);
    return spec;
  }

  // Runs the report through `wrapper`, a command that runs the rest of its arguments, and expects
  // the unconstrained run's output, or else nothing but `err` and status 2.
  void expect_limited(const Rows& wrapper, const std::string& err, RunSpec spec) {
    const ProcessResult free = run_meterly(spec);
    Rows argv = wrapper;
    argv.push_back(METERLY_BINARY);
    argv.insert(argv.end(), spec.args.begin(), spec.args.end());
    const ProcessResult limited = run_program(argv, spec);
    const std::string name = testing::PrintToString(wrapper);
    if (err.empty()) {
      EXPECT_EQ(limited.status, 0) << name << limited.err;
      EXPECT_EQ(limited.err, "") << name;
      EXPECT_EQ(limited.out, free.out) << name;
    } else {
      EXPECT_EQ(limited.status, 2) << name;
      EXPECT_EQ(limited.err.substr(0, err.size()), err) << name << limited.err;
      EXPECT_EQ(std::count(limited.err.begin(), limited.err.end(), '\n'), 1) << name;
      EXPECT_EQ(spec.stdout_path.empty() ? limited.out : "", "") << name;
    }
  }

  const TempDir home_;
  const std::string& h = home_.path();
};

const char* const kPrlimit = "/usr/bin/prlimit";

// Why limits cannot be set here, or nothing.
std::string without_prlimit() {
  return access(kPrlimit, X_OK) == 0 ? "" : "no prlimit at " + std::string(kPrlimit);
}

// Runs the rest with descriptors 0 to 2 only and room for `free` more (a sanitizer's runtime
// needs two of them: it checks memory through a pipe as a thread starts).
Rows with_free_descriptors(int free) {
  const std::string close_others = "exec 3>&- 4>&- 5>&- 6>&- 7>&- 8>&- 9>&- && exec \"$@\"";
  return {"/bin/sh", "-c", close_others, "sh", kPrlimit, "--nofile=" + std::to_string(3 + free),
          "--"};
}

// Random bytes and the words both prefilters look for, but never "timestamp": nothing counts.
TEST_F(hostile, random_noise) {
  std::istringstream text(R"("type":"assistant", "input_tokens": "usage":{ "token_count" { [ " \)");
  Rows words = {"\n"};
  for (int c = 0; c < 256; ++c) words.emplace_back(1, static_cast<char>(c));
  for (std::string word; text >> word;) words.push_back(word);
  std::mt19937_64 random(1);
  std::string noise;
  while (noise.size() < (4 << 20)) noise += words[random() % words.size()];
  write_file(claude(), noise);
  write_file(codex(1), noise);
  check({});
}

// Non-UTF-8 reads as absent (a cwd falls back to the directory label, here bad too) and a bad key
// ends its object; a lone surrogate escape vanishes.
TEST_F(hostile, invalid_utf8) {
  write_file(h + "/.claude/projects/-w-\xff\xfe/\xc3\x28.jsonl",
             turn("x-bad-\xff", io(1, 0)) + turn("x-utf8-value", io(3, 4) + ",\"v\":\"\xc0\xed\"") +
                 sub(turn("x-utf8-key", io(8, 9)), "output", "\xff" + std::string("output")) +
                 sub(turn("x-never", io(1, 0)), "00Z", "0\xff") +
                 sub(turn("x-utf8-cwd", io(2, 0)), "/w/p", "/w/\xff") +
                 turn("x-utf8-\\ud800tail", io(1, 0)));
  write_file(h + "/.codex/sessions/\xff/rollout-\xfe-0199c0de-0000-4000-8000-000000000002.jsonl",
             context("x-codex-utf8", "/w/\xff") + report(totals(10, 0, 1)) +
                 context("x-\xff", "/w/\xff") + report("\"v\":\"\xff\xfe\"," + totals(20, 0, 2)));
  check({"claude p [x-utf8-value] 3 4 0", "claude  [x-utf8-cwd] 2 0 0",
         "claude p [x-utf8-key] 8 0 0", "claude p [x-utf8-tail] 1 0 0",
         "codex  [x-codex-utf8] 20 2 0"});
}

// Members before a million-deep value count whether or not it is walked; so does a usage that deep.
TEST_F(hostile, million_deep_nesting) {
  const std::string open(1000000, '['), arrays = open + std::string(open.size(), ']');
  std::string objects;
  while (objects.size() < 5 * open.size()) objects += "{\"a\":";
  write_file(claude(), turn("x-deep-array", io(1, 2) + ",\"v\":" + arrays) +
                           turn("x-deep-object", io(3, 4) + ",\"v\":" + objects) +
                           sub(turn("x-deep-usage", io(5, 5)), "\"usage\":{", "\"usage\":" + open));
  write_file(codex(6), context("x-codex-deep") + report(totals(5, 0, 6) + ",\"v\":" + arrays) +
                           sub(context(""), "\"\"", arrays) +
                           report("\"last_token_usage\":{" + io(7, 0) + ",\"v\":" + objects));
  check({"claude p [x-deep-array] 1 2 0", "claude p [x-deep-object] 3 4 0",
         "claude p [x-deep-usage] 0 0 0", "codex p [x-codex-deep] 12 6 0"});
}

// Nested from the bottom up, as the whole path is three times PATH_MAX: its logs count like any.
// Walking and reading there takes two descriptors; with one, the run fails rather than skip them.
TEST_F(hostile, directory_tree_deeper_than_path_max) {
  const std::string logs[] = {turn("x-deep", io(4, 2)),
                              context("x-deep") + report(totals(9, 0, 3))};
  const std::string d(200, 'd');
  for (int n = 0; const std::string& root : {claude("t"), h + "/.codex/sessions/t"}) {
    write_file(root + "/" + d + "/a.jsonl", logs[n++]);
    for (int level = 0; level < 3 * PATH_MAX / 200; ++level) {
      fs::rename(root + "/" + d, root + "/up");
      fs::create_directory(root + "/" + d);
      fs::rename(root + "/up", root + "/" + d + "/" + d);
    }
  }
  check({"claude p [x-deep] 4 2 0", "codex p [x-deep] 9 3 0"});
  if (const std::string missing = without_prlimit(); !missing.empty()) GTEST_SKIP() << missing;
  expect_limited(with_free_descriptors(sanitized() ? 4 : 2), "", spec_for({"daily", "--json"}));
  expect_limited(with_free_descriptors(1), "meterly: not enough file descriptors to ",
                 spec_for({"daily", "--json"}));
}

// A socket file, made as programs make them: mknod cannot on every system.
bool make_socket_file(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  path.copy(address.sun_path, path.size());
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  const bool made = fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  if (fd >= 0) close(fd);
  return made;
}

// Links that loop or lead outside, FIFOs (a blocking open waits forever), a socket, a dangling
// link and a directory named like logs: none is followed or read.
TEST_F(hostile, links_and_special_files) {
  write_file(h + "/out/1.jsonl", turn("x-outside", io(5, 0)));
  write_file(h + "/out/2.jsonl", context("x-outside") + report(totals(6, 0, 1)));
  for (const std::string& root : {claude("s"), h + "/.codex/sessions/s"}) {
    fs::create_directories(root + "/dir.jsonl");
    std::istringstream links(
        "s . u .. a b b a o ../../../out 1.jsonl ../../../out/1.jsonl "
        "2.jsonl ../../../out/2.jsonl g.jsonl /none p.jsonl fifo.jsonl");
    for (std::string name, to; links >> name >> to;) fs::create_symlink(to, root + "/" + name);
    EXPECT_EQ(mkfifo((root + "/fifo.jsonl").c_str(), 0644), 0);
    EXPECT_TRUE(make_socket_file(root + "/sock.jsonl"));
  }
  EXPECT_EQ(mkfifo((h + "/.codex/config.toml").c_str(), 0644), 0);
  check({});
}

// `text` with a 200 MiB member before `marker`: a line with a needle is held once.
void write_long_line(const std::string& path, const std::string& text, const std::string& marker) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream file(path, std::ios::binary);
  file << text.substr(0, text.find(marker)) << "\"pad\":\"";
  for (int i = 0; i < 200; ++i) file << std::string(1 << 20, 'a');
  file << "\"," << text.substr(text.find(marker));
}

// A line that cannot be held ends the run with one line; the other log is read meanwhile.
TEST_F(hostile, claude_long_line_with_needle) {
  write_long_line(claude(), turn("x-long", io(11, 12)), "\"model\"");
  check({"claude p [x-long] 11 12 0"}, (200 + 16) * 1024);
  if (const std::string missing = without_prlimit(); !missing.empty()) GTEST_SKIP() << missing;
  if (sanitized()) GTEST_SKIP() << "address-space limits do not apply under a sanitizer";
  expect_limited({kPrlimit, "--as=" + std::to_string(128 << 20), "--"},
                 "meterly: out of memory reading " + claude() + "\n", spec_for({"daily"}));
}

TEST_F(hostile, codex_long_line_with_needle) {
  write_long_line(codex(31), context("x-long") + report(totals(13, 0, 14)), "\"info\"");
  check({"codex p [x-long] 13 14 0"}, (200 + 64) * 1024);
}

// Threads refused, one descriptor for the logs, a file size limit, a non-blocking pipe read
// slowly: each run prints the whole report or says why not.
TEST_F(hostile, resource_limits_and_output_faults) {
  if (const std::string missing = without_prlimit(); !missing.empty()) GTEST_SKIP() << missing;
  // Enough sessions for a report larger than a pipe holds, over logs long enough that workers
  // hold them open at the same time.
  std::string logs[8];
  for (std::string& log : logs)
    while (log.size() < (4 << 20))
      log += "{\"type\":\"user\",\"v\":\"" + std::string(200, 'a') + "\"}\n";
  for (int n = 0; n < 800; ++n)
    logs[n % 8] += sub(turn("x-many", io(static_cast<std::uint64_t>(n), 1)), "\"cwd\"",
                       "\"sessionId\":\"s-" + std::to_string(n) + "\",\"cwd\"");
  for (int n = 0; n < 8; ++n) write_file(claude("-w-x/" + std::to_string(n) + ".jsonl"), logs[n]);
  write_file(codex(1), context("x-many") + report(totals(30, 10, 45)));
  chmod(h.c_str(), 0755);  // for the unprivileged user, who may not list this one
  mkdir(claude("-w-x/locked").c_str(), 0);
  const std::string out = h + "/out.txt";
  write_file(out, "");
  RunSpec session = spec_for({"session", "--json"});
  expect_limited(with_free_descriptors(sanitized() ? 3 : 1), "", session);
  RunSpec slow = session;
  slow.slow_nonblocking_reader = true;
  expect_limited({}, "", slow);
  RunSpec to_file = session;
  to_file.stdout_path = out;
  expect_limited({kPrlimit, "--fsize=4096", "--"}, "meterly: cannot write output: File too large\n",
                 to_file);
  if (sanitized()) GTEST_SKIP() << "threads refused: the sanitizer's runtime needs threads too";
  const passwd* nobody = getpwnam("nobody");
  if (geteuid() != 0 || nobody == nullptr || access("/usr/bin/setpriv", X_OK) != 0)
    GTEST_SKIP() << "threads refused: needs root, the user nobody and setpriv";
  expect_limited(
      {"/usr/bin/setpriv", "--reuid=" + std::to_string(nobody->pw_uid),
       "--regid=" + std::to_string(nobody->pw_gid), "--clear-groups", kPrlimit, "--nproc=1", "--"},
      "", session);
}

}  // namespace
