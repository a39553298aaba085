#include "batch/record_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

#include "chunk_cutter.h"
#include "cmg290/cmg290.h"
#include "fd_source.h"
#include "gzip_source.h"

namespace cmg290::batch {

namespace {

constexpr std::size_t kChunkBytes = std::size_t{1} << 20;

struct FileCloser {
  int fd;
  ~FileCloser() { ::close(fd); }
};

// Reads the lines of an open file, inflated when it is gzip, into `block`.
RecordFileRead read_lines(int fd, RecordBlock& block, bool stopAtZeroByte,
                          std::vector<std::int64_t>* lines) {
  RecordFileRead read;
  cli::FdSource raw(fd);
  cli::GzipSource source(raw);
  cli::ChunkCutter cutter(kChunkBytes, kRecordLength);
  std::unique_ptr<char[]> chunk(new char[kChunkBytes + 1]);
  long long line = 0;
  for (;;) {
    const cli::ChunkFill fill = cutter.next(chunk.get(), source);
    if (fill.error == cli::GzipSource::kDamaged) {
      read.error = kDamagedGzip;
      read.damage = source.damage();
      return read;
    }
    if (fill.error != 0) {
      read.error = static_cast<int>(-fill.error);
      return read;
    }
    const bool whole = cli::for_each_text_line(
        chunk.get(), fill.size, fill.cut, line, [&](std::string_view text, long long number) {
          const std::size_t n = std::min(text.size(), kRecordLength);
          if (stopAtZeroByte && std::memchr(text.data(), '\0', n) != nullptr) {
            read.zeroByteLine = number;
            return false;
          }
          // The rest of a short record's room stays zero bytes.
          std::memcpy(block.append(), text.data(), n);
          if (lines != nullptr) lines->push_back(number);
          return true;
        });
    if (!whole || fill.end) return read;
  }
}

}  // namespace

RecordBlock::~RecordBlock() {
  if (data_ != nullptr) munmap(data_, mapped_);
}

void RecordBlock::expect(std::size_t records) {
  records = std::max<std::size_t>(records, 64);
  if (records > capacity_) reserve(records);
}

char* RecordBlock::append() {
  if (count_ == capacity_) reserve(std::max<std::size_t>(capacity_ + capacity_ / 2, 64));
  return data_ + kRecordLength * count_++;
}

std::size_t RecordBlock::length(std::size_t i) const {
  const char* record = data_ + kRecordLength * i;
  std::size_t n = kRecordLength;
  while (n > 0 && record[n - 1] == '\0') --n;
  return n;
}

RecordBlock::Mapping RecordBlock::release() {
  const Mapping m{data_, mapped_};
  data_ = nullptr;
  return m;
}

void RecordBlock::unmap(Mapping mapping) {
  if (mapping.data != nullptr) munmap(mapping.data, mapping.bytes);
}

void RecordBlock::reserve(std::size_t records) {
  const std::size_t bytes = kRecordLength * records;
  void* p = data_ == nullptr
                ? mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
                : mremap(data_, mapped_, bytes, MREMAP_MAYMOVE);
  if (p == MAP_FAILED) throw std::bad_alloc();
  // No MADV_HUGEPAGE: where the page cache is full, the kernel compacts
  // memory to find huge pages before the first touch returns, which made one
  // read of a million records take 15 s in the kernel instead of under one.
  data_ = static_cast<char*>(p);
  mapped_ = bytes;
  capacity_ = records;
}

namespace {

// Whether an open file starts with the gzip magic bytes.
bool starts_gzip(int fd) {
  unsigned char head[2];
  ssize_t got;
  do {
    got = ::pread(fd, head, sizeof head, 0);
  } while (got < 0 && errno == EINTR);
  return got > 0 && cli::GzipSource::magic(head, static_cast<std::size_t>(got));
}

// The most records a regular file holds: its line ends, and a last line
// without one (empty lines count too, which costs only addresses: the pages
// of a mapping are not taken until written). 0 for anything else, gzip
// too (its lines are only known once inflated); the
// reading then grows the block as it goes. Reads the file once with
// pread(), which leaves its offset alone and brings it into the page cache
// for the reading proper; a failure is found again by that reading.
std::size_t expected_records(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || starts_gzip(fd)) return 0;
  std::unique_ptr<char[]> buffer(new char[kChunkBytes]);
  std::size_t lines = 1;
  for (off_t at = 0;;) {
    const ssize_t got = ::pread(fd, buffer.get(), kChunkBytes, at);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    at += got;
    const char* p = buffer.get();
    const char* const end = p + got;
    while ((p = static_cast<const char*>(
                std::memchr(p, '\n', static_cast<std::size_t>(end - p)))) != nullptr) {
      ++lines;
      ++p;
    }
  }
  return lines;
}

}  // namespace

std::string RecordFileRead::error_text() const {
  return error == kDamagedGzip ? damage : std::strerror(error);
}

RecordFileRead read_record_fd(int fd, RecordBlock& block, bool stopAtZeroByte,
                              std::vector<std::int64_t>* lines) {
  const std::size_t expected = expected_records(fd);
  block.expect(expected);
  if (lines != nullptr) lines->reserve(expected);
  return read_lines(fd, block, stopAtZeroByte, lines);
}

RecordFileRead read_record_file(const char* path, RecordBlock& block, bool stopAtZeroByte,
                                std::vector<std::int64_t>* lines) {
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    RecordFileRead read;
    read.error = errno;
    return read;
  }
  FileCloser closer{fd};
  return read_record_fd(fd, block, stopAtZeroByte, lines);
}

}  // namespace cmg290::batch
