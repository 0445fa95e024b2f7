// Reads a list of logs on the shared workers, deferring logs that found no free descriptor.
#include "sources/reader_pool.h"

#include <atomic>
#include <new>
#include <utility>

namespace {

enum class FileStatus : unsigned char { read, deferred, out_of_memory };

}  // namespace

ReaderPool::ReaderPool(unsigned worker_count) : workers(worker_count) {
  for (unsigned w = 0; w < workers.size(); ++w) readers.push_back(std::make_unique<LineReader>());
}

ScanFailure out_of_memory(std::string path) {
  return {ScanFailure::Kind::out_of_memory, std::move(path)};
}

std::optional<ScanFailure> read_each_file(
    const std::vector<std::string>& paths, ReaderPool& pool,
    const std::function<void(std::size_t, LineReader&)>& read) {
  std::vector<FileStatus> status(paths.size(), FileStatus::read);
  std::atomic<bool> abandoned{false};
  const auto read_one = [&](std::size_t i, LineReader& reader) {
    try {
      read(i, reader);
    } catch (const std::bad_alloc&) {
      abandoned.store(true, std::memory_order_relaxed);
      return FileStatus::out_of_memory;
    }
    return reader.out_of_descriptors() ? FileStatus::deferred : FileStatus::read;
  };

  // While files come from the disk, reads are started a few files ahead of the workers, so that
  // the disk has more than one file per worker in flight.
  const std::size_t ahead = 8 * pool.workers.size();
  pool.workers.parallel_for(paths.size(), [&](std::size_t i, unsigned worker) {
    if (abandoned.load(std::memory_order_relaxed)) return;
    LineReader& reader = *pool.readers[worker];
    if (reader.last_file_was_cold() && i + ahead < paths.size()) {
      LineReader::advise_will_read(paths[i + ahead]);
    }
    status[i] = read_one(i, reader);
  });
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (status[i] == FileStatus::out_of_memory) return out_of_memory(paths[i]);
  }

  // Logs whose open found every descriptor taken, read one at a time once the workers have
  // closed theirs; a log that still cannot be opened leaves the report short, so the run fails.
  std::optional<ScanFailure> failure;
  for (std::size_t i = 0; i < paths.size() && !failure; ++i) {
    if (status[i] != FileStatus::deferred) continue;
    pool.workers.when_idle([&] { status[i] = read_one(i, *pool.readers[0]); });
    if (status[i] == FileStatus::out_of_memory) failure = out_of_memory(paths[i]);
    if (status[i] == FileStatus::deferred) {
      failure = ScanFailure{ScanFailure::Kind::out_of_descriptors, paths[i]};
    }
  }
  return failure;
}
