#include "batch/path_batch.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "batch/group_batch.h"
#include "gzip_source.h"

namespace cmg290::batch {

PathBatch::PathBatch() = default;

PathBatch::~PathBatch() {
  if (fd_ >= 0) ::close(fd_);
}

int PathBatch::open(const char* path) {
  fd_ = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) return errno;
  bytes_ = std::make_unique<FdBytes>(fd_);
  if (bytes_->error() != 0) return bytes_->error();
  unsigned char head[2];
  ssize_t got;
  do {
    got = ::pread(fd_, head, sizeof head, 0);
  } while (got < 0 && errno == EINTR);
  if (got < 0) return errno;
  gzip_ = cli::GzipSource::magic(head, static_cast<std::size_t>(got));
  if (!gzip_) file_ = std::make_unique<LineFile>(*bytes_);
  return 0;
}

std::uint64_t PathBatch::size() const {
  return bytes_ != nullptr ? bytes_->size() : 0;
}

int PathBatch::count(int threads, const BatchSettings* stage) {
  if (file_ != nullptr) return file_->count(threads, stage);
  const RecordFileRead read = read_record_fd(fd_, block_, false, &lines_);
  damage_ = read.damage;
  return read.error;
}

std::size_t PathBatch::records() const {
  return file_ != nullptr ? file_->records() : block_.count();
}

int PathBatch::group(const BatchSettings& settings, const BatchColumns& columns, RowSink* sink) {
  if (file_ != nullptr) return file_->group(settings, columns, sink);
  for (std::size_t i = 0; i < lines_.size(); ++i) columns.line.put(i, lines_[i]);
  group_batch(source(), settings, columns, sink);
  return 0;
}

RecordSource PathBatch::source() const {
  if (file_ != nullptr) return file_->source();
  RecordSource s;
  s.count = block_.count();
  s.block.base = block_.data();
  s.block.stride = static_cast<std::ptrdiff_t>(kRecordLength);
  s.block.itemSize = kRecordLength;
  return s;
}

std::string PathBatch::error_text(int error) const {
  if (error == kDamagedGzip) return damage_;
  return file_error_text(error);
}

}  // namespace cmg290::batch
