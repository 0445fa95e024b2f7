#include "support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

extern char** environ;

namespace {

// Collects both outputs until the child closes them; false when the deadline passed first.
bool drain(int fd_out, int fd_err, std::string& out, std::string& err,
           std::chrono::steady_clock::time_point deadline, bool slow) {
  pollfd fds[2] = {{fd_out, POLLIN, 0}, {fd_err, POLLIN, 0}};
  int open = 2;
  char buffer[65536];
  while (open > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    if (poll(fds, 2, static_cast<int>(left.count())) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int k = 0; k < 2; ++k) {
      if (fds[k].fd < 0 || fds[k].revents == 0) continue;
      if (slow) usleep(1000);
      const ssize_t n = read(fds[k].fd, buffer, slow ? 4096 : sizeof buffer);
      if (n > 0) {
        (k == 0 ? out : err).append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        // A pseudo-terminal reports the child's end as EIO rather than end of file.
        fds[k].fd = -1;
        --open;
      }
    }
  }
  return true;
}

// A pipe whose ends are not inherited by other children (pipe2 is not everywhere).
bool make_pipe(int (&fds)[2]) {
  if (pipe(fds) != 0) return false;
  fcntl(fds[0], F_SETFD, FD_CLOEXEC);
  fcntl(fds[1], F_SETFD, FD_CLOEXEC);
  return true;
}

// A pseudo-terminal pair in raw mode, so "\n" passes through instead of becoming "\r\n".
bool make_terminal(int (&fds)[2]) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0) return false;
  const char* name = grantpt(master) == 0 && unlockpt(master) == 0 ? ptsname(master) : nullptr;
  const int slave = name != nullptr ? open(name, O_RDWR | O_NOCTTY) : -1;
  termios mode{};
  if (slave < 0 || tcgetattr(slave, &mode) != 0) {
    for (const int fd : {master, slave}) close(fd);  // -1 included: close fails harmlessly
    return false;
  }
  mode.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  mode.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON | ISIG | IEXTEN);
  tcsetattr(slave, TCSANOW, &mode);
  fcntl(master, F_SETFD, FD_CLOEXEC);
  fcntl(slave, F_SETFD, FD_CLOEXEC);
  fds[0] = master;
  fds[1] = slave;
  return true;
}

// The helper is built for the machine the tests are built for, which may be emulated (no
// program started from an emulated one is emulated too): it is used only where it starts.
bool peak_rss_helper_runs() {
  static const bool runs = [] {
    std::string path = METERLY_PEAK_RSS;
    char* argv[] = {path.data(), nullptr};
    pid_t pid = -1;
    int status = -1;
    if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }();
  return runs;
}

}  // namespace

std::string meterly_binary() {
  const char* given = std::getenv("METERLY_TEST_BINARY");
  return given != nullptr && *given != '\0' ? given : METERLY_BINARY;
}

ProcessResult run_program(const std::vector<std::string>& argv, const RunSpec& spec) {
  int out_pipe[2];
  int err_pipe[2];
  if (spec.terminal ? !make_terminal(out_pipe) : !make_pipe(out_pipe)) return {};
  if (!spec.terminal && spec.slow_nonblocking_reader) {
    fcntl(out_pipe[1], F_SETFL, O_NONBLOCK);  // shared with the child's standard output
  }
  if (!make_pipe(err_pipe)) return {};

  std::vector<std::string> env_text;
  for (const auto& [key, value] : spec.env) env_text.push_back(key + "=" + value);
  std::vector<char*> envp;
  for (auto& entry : env_text) envp.push_back(entry.data());
  envp.push_back(nullptr);
  // Started through a small helper, which takes the child's own peak memory figure.
  std::vector<std::string> args = argv;
  char rss_path[] = "/tmp/meterly-rss-XXXXXX";
  int rss_fd = -1;
  if (peak_rss_helper_runs() && (rss_fd = mkstemp(rss_path)) >= 0) {
    close(rss_fd);
    args.insert(args.begin(), {METERLY_PEAK_RSS, rss_path});
  }
  std::vector<char*> argp;
  for (auto& arg : args) argp.push_back(arg.data());
  argp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  int broken[2] = {-1, -1};
  if (spec.stdout_reader_gone && make_pipe(broken)) {
    close(broken[0]);
    posix_spawn_file_actions_adddup2(&actions, broken[1], STDOUT_FILENO);
  } else if (!spec.stdout_path.empty()) {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, spec.stdout_path.c_str(), O_WRONLY,
                                     0);
  } else {
    posix_spawn_file_actions_adddup2(&actions, out_pipe[1], STDOUT_FILENO);
  }
  posix_spawn_file_actions_adddup2(&actions, err_pipe[1], STDERR_FILENO);
  spec.stdin_closed
      ? posix_spawn_file_actions_addclose(&actions, STDIN_FILENO)
      : posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  // Its own process group, so a timeout reaches the command under the helper too.
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, argp[0], &actions, &attributes, argp.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (broken[1] >= 0) close(broken[1]);
  if (spawned != 0) {
    for (const int fd : {out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) close(fd);
    return {};
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  ProcessResult result;
  const auto started = std::chrono::steady_clock::now();
  if (!drain(out_pipe[0], err_pipe[0], result.out, result.err,
             started + std::chrono::seconds(spec.timeout_seconds), spec.slow_nonblocking_reader)) {
    kill(-pid, SIGKILL);
  }
  close(out_pipe[0]);
  close(err_pipe[0]);
  int wstatus = 0;
  rusage usage{};
  while (wait4(pid, &wstatus, 0, &usage) < 0 && errno == EINTR) {
  }
  result.peak_rss_kib = usage.ru_maxrss;
#ifdef __APPLE__
  result.peak_rss_kib /= 1024;  // bytes there, KiB everywhere else
#endif
  if (rss_fd >= 0) {
    const long measured = std::atol(read_file(rss_path).c_str());
    if (measured > 0) result.peak_rss_kib = measured;
    unlink(rss_path);
  }
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  return result;
}

ProcessResult run_meterly(const RunSpec& spec) {
  std::vector<std::string> argv{meterly_binary()};
  argv.insert(argv.end(), spec.args.begin(), spec.args.end());
  return run_program(argv, spec);
}

TempDir::TempDir() {
  std::string pattern = "/tmp/meterly-test-XXXXXX";
  if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

void write_file(const std::string& path, std::string_view content) {
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::string read_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string mask_elapsed(std::string text) {
  static const std::regex kElapsed("(Scanned [0-9]+ files in )[0-9]+ms");
  return std::regex_replace(text, kElapsed, "$1Nms");
}
