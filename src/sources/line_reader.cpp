// Buffered reads of a log file that hand over only the lines holding a needle.
#include "sources/line_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "sources/open_path.h"
#include "util/interrupted.h"
#include "util/search.h"

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// The last LF in p[0, n), or nullptr.
const char* find_last_lf(const char* p, std::size_t n) {
#if defined(__GLIBC__)
  return static_cast<const char*>(memrchr(p, '\n', n));
#else
  while (n > 0) {
    if (p[--n] == '\n') return p + n;
  }
  return nullptr;
#endif
}

// What a reader keeps from file to file.
struct ReadBuffer {
  std::size_t base_bytes = LineReader::kDefaultBufferBytes;
  std::unique_ptr<char[]> data;
  std::size_t capacity = 0;
  // The needles of the last call and their search set, kept while callers repeat them.
  std::vector<std::string> needle_texts;
  std::optional<NeedleSet> needles;
#if defined(RWF_NOWAIT)
  // Whether the last file's first bytes had to come from the disk; asked of the kernel while
  // it answers the question.
  bool cold = false;
  bool can_ask_cached = true;
#else
  // No way to ask cheaply: take the cache for cold, and pay for hints that may be idle.
  static constexpr bool cold = true;
#endif

  // Replaces the buffer by one of at least `bytes`, with data[0, keep) copied to `at`.
  void reallocate(std::size_t bytes, std::size_t keep, std::size_t at) {
    std::unique_ptr<char[]> fresh(new char[bytes]);
    std::copy_n(data.get(), keep, fresh.get() + at);
    data = std::move(fresh);
    capacity = bytes;
  }
};

// One pass over one open file. The buffer holds the file's bytes [offset_, offset_ + len_);
// line_ is where the current unfinished line starts in it (0 when that start was dropped).
class FileScan {
 public:
  FileScan(int fd, ReadBuffer& buffers, std::uint64_t budget, std::size_t overlap,
           const std::function<void(std::string_view)>& on_line)
      : fd_(fd), b_(buffers), budget_(budget), overlap_(overlap), on_line_(on_line) {}

  void run() {
    for (;;) {
      compact();
      if (!fill()) break;
      if (!process()) return;
    }
    // A last line without LF counts, unless we stopped reading in its middle on purpose.
    if (line_hit_ && !budget_spent_) deliver(line_, len_);
  }

 private:
  char* buf() { return b_.data.get(); }

  void deliver(std::size_t begin, std::size_t end) {
    on_line_(std::string_view(buf() + begin, end - begin));
  }

  bool fill() {
    if (budget_ == 0) {
      budget_spent_ = true;
      return false;
    }
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(b_.capacity - len_, budget_));
    const ssize_t got = retry_interrupted(
        [&] { return offset_ + len_ == 0 ? read_first(want) : ::read(fd_, buf() + len_, want); });
    // A read error ends the file like its end does: what was delivered stands.
    if (got <= 0) return false;
    len_ += static_cast<std::size_t>(got);
    budget_ -= static_cast<std::uint64_t>(got);
    return true;
  }

  // The file's first read, which also notes whether the page cache held its start.
  ssize_t read_first(std::size_t want) {
#if defined(RWF_NOWAIT)
    if (b_.can_ask_cached) {
      struct iovec space {
        buf() + len_, want
      };
      const ssize_t got = ::preadv2(fd_, &space, 1, -1, RWF_NOWAIT);
      if (got >= 0) {
        b_.cold = false;
        return got;
      }
      if (errno == EAGAIN) {
        b_.cold = true;
      } else if (errno != EINTR) {
        b_.can_ask_cached = false;
      }
    }
#endif
    return ::read(fd_, buf() + len_, want);
  }

  // The earliest needle start at or after `from`.
  std::size_t find_any(std::size_t from) {
    const std::size_t at = b_.needles->find_first(std::string_view(buf() + from, len_ - from));
    return at == std::string_view::npos ? kNone : from + at;
  }

  // Delivers every complete line that holds a needle; false when the file must be abandoned.
  bool process() {
    if (line_hit_) {
      const void* lf = std::memchr(buf() + scan_, '\n', len_ - scan_);
      if (lf == nullptr) {
        scan_ = len_;
        return true;
      }
      const auto end = static_cast<std::size_t>(static_cast<const char*>(lf) - buf()) + 1;
      deliver(line_, end);
      line_hit_ = false;
      line_ = scan_ = end;
    }
    for (;;) {
      std::size_t hit = find_any(scan_);
      if (hit == kNone) break;
      if (const char* lf = find_last_lf(buf() + line_, hit - line_)) {
        line_ = static_cast<std::size_t>(lf - buf()) + 1;
        line_cut_ = false;
      } else if (line_cut_) {
        if (!restore_line_start(hit)) return false;
      }
      const void* lf = std::memchr(buf() + hit, '\n', len_ - hit);
      if (lf == nullptr) {
        line_hit_ = true;
        scan_ = len_;
        return true;
      }
      const auto end = static_cast<std::size_t>(static_cast<const char*>(lf) - buf()) + 1;
      deliver(line_, end);
      line_ = scan_ = end;
      line_cut_ = false;
    }
    if (const char* lf = find_last_lf(buf() + line_, len_ - line_)) {
      line_ = static_cast<std::size_t>(lf - buf()) + 1;
      line_cut_ = false;
    }
    // A needle may straddle the end of what we have: search its possible start again.
    scan_ = std::max(line_, len_ - std::min(len_, overlap_));
    return true;
  }

  // Makes room for the next read. A line with a needle is kept whole (growing the buffer); a
  // long line without one keeps only the bytes a needle could still start in, and its offset.
  void compact() {
    std::size_t keep = line_;
    if (!line_hit_ && len_ - line_ > b_.capacity / 2) {
      keep = scan_;
      if (!line_cut_) {
        cut_offset_ = offset_ + line_;
        line_cut_ = true;
      }
    }
    if (keep > 0) {
      std::memmove(buf(), buf() + keep, len_ - keep);
      offset_ += keep;
      len_ -= keep;
      scan_ -= keep;
      line_ -= std::min(line_, keep);
    }
    if (len_ == b_.capacity) b_.reallocate(b_.capacity * 2, len_, 0);
  }

  // A needle turned up in a line whose start was dropped: read the start again.
  bool restore_line_start(std::size_t& hit) {
    const auto missing = static_cast<std::size_t>(offset_ - cut_offset_);
    if (missing + len_ > b_.capacity) {
      b_.reallocate(std::max(b_.capacity * 2, missing + len_ + b_.base_bytes), len_, missing);
    } else {
      std::memmove(buf() + missing, buf(), len_);
    }
    std::size_t done = 0;
    while (done < missing) {
      const ssize_t got = retry_interrupted([&] {
        return ::pread(fd_, buf() + done, missing - done, static_cast<off_t>(cut_offset_ + done));
      });
      // The file shrank or failed under us: its bytes no longer form this line.
      if (got <= 0) return false;
      done += static_cast<std::size_t>(got);
    }
    offset_ = cut_offset_;
    len_ += missing;
    hit += missing;
    scan_ += missing;
    line_ = 0;
    line_cut_ = false;
    return true;
  }

  int fd_;
  ReadBuffer& b_;
  std::uint64_t budget_;
  bool budget_spent_ = false;
  std::size_t overlap_;
  const std::function<void(std::string_view)>& on_line_;
  std::uint64_t offset_ = 0;
  std::size_t len_ = 0;
  std::size_t line_ = 0;
  std::size_t scan_ = 0;
  bool line_hit_ = false;
  bool line_cut_ = false;
  std::uint64_t cut_offset_ = 0;
};

// Asks the kernel to read a whole file into the page cache in the background, so that on a cold
// cache the disk has work queued for the files that workers take next. A hint only.
void advise_whole_file(int fd, std::uint64_t size) {
  if (size == 0) return;
#if defined(POSIX_FADV_WILLNEED)
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_WILLNEED);
#elif defined(F_RDADVISE)
  struct radvisory advice;
  advice.ra_offset = 0;
  advice.ra_count = static_cast<int>(std::min<std::uint64_t>(size, INT_MAX));
  ::fcntl(fd, F_RDADVISE, &advice);
#else
  (void)fd;
#endif
}

// Opens a log for reading; -1 with errno set when it cannot be opened or is no regular file.
int open_regular_file(const std::string& path, std::uint64_t& size) {
  // O_NONBLOCK: opening a FIFO must not wait for a writer.
  const int fd = open_path(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    errno = EINVAL;
    return -1;
  }
  // Only the open needed it: reads of a regular file should block, never fail with EAGAIN. The
  // other status flags that F_SETFL sets were never set.
  ::fcntl(fd, F_SETFL, 0);
  size = static_cast<std::uint64_t>(st.st_size);  // never negative for a regular file
  return fd;
}

// Closes the file however its reading ends, a failed allocation included.
struct ClosingFd {
  int fd;
  ~ClosingFd() { ::close(fd); }
};

}  // namespace

struct LineReader::Buffers {
  ReadBuffer buffer;
  bool out_of_descriptors = false;
};

LineReader::LineReader() : LineReader(kDefaultBufferBytes) {}

LineReader::LineReader(std::size_t buffer_bytes) : buffers_(new Buffers) {
  buffers_->buffer.base_bytes = std::max<std::size_t>(buffer_bytes, 64);
}

LineReader::~LineReader() {
  delete buffers_;
}

void LineReader::advise_will_read(const std::string& path) {
  // Fewer calls than a real open: the hint is paid for on every run, warm cache or cold.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return;
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    advise_whole_file(fd, static_cast<std::uint64_t>(st.st_size));
  }
  ::close(fd);
}

bool LineReader::last_file_was_cold() const {
  return buffers_->buffer.cold;
}

std::size_t LineReader::buffer_bytes() const {
  return buffers_->buffer.capacity;
}

bool LineReader::out_of_descriptors() const {
  return buffers_->out_of_descriptors;
}

bool LineReader::read_matching_lines(const std::string& path,
                                     std::span<const std::string_view> needles,
                                     const std::function<void(std::string_view)>& on_line) {
  std::uint64_t size = 0;
  const int fd = open_regular_file(path, size);
  buffers_->out_of_descriptors = fd < 0 && (errno == EMFILE || errno == ENFILE);
  if (fd < 0) return false;
  const ClosingFd closing{fd};

  ReadBuffer& b = buffers_->buffer;
  std::size_t longest = 0;
  bool same = b.needles && b.needle_texts.size() == needles.size();
  for (std::size_t i = 0; i < needles.size(); ++i) {
    longest = std::max(longest, needles[i].size());
    same = same && b.needle_texts[i] == needles[i];
  }
  if (!same) {
    b.needle_texts.assign(needles.begin(), needles.end());
    b.needles.emplace(needles);
  }
  // The buffer must hold a few needles' worth.
  const std::size_t wanted = std::max(b.base_bytes, longest * 4);
  if (b.capacity < wanted) b.reallocate(wanted, 0, 0);

  if (longest > 0) {
    // A file that keeps growing while we read it is read to about twice its opening size.
    const std::uint64_t budget = size + std::max<std::uint64_t>(size, 1 << 20);
    FileScan(fd, b, budget, longest - 1, on_line).run();
  }
  // A giant line of this file is no reason to keep its memory for the next one.
  if (b.capacity > wanted * 4) b.reallocate(wanted, 0, 0);
  return true;
}
