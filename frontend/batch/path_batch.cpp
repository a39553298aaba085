#include "batch/path_batch.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "batch/group_batch.h"
#include "batch/run_parts.h"
#include "chunk_cutter.h"
#include "fd_source.h"
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

namespace {

// Bytes of plain text a gzip file is cut into at a time, as the record-file
// reader cuts it.
constexpr std::size_t kChunkBytes = std::size_t{1} << 20;

}  // namespace

// Each chunk's rows into the caller's columns.
class PathBatch::Putting : public PartWork {
 public:
  Putting(PathBatch& batch, const BatchColumns& columns) : batch_(batch), columns_(columns) {}
  void run(std::size_t part, std::size_t) noexcept override {
    const std::size_t first = batch_.firstRow_[part];
    batch_.chunks_[part].put(rows_end(part) - first, columns_, first, 0);
  }
  std::size_t rows_end(std::size_t part) const noexcept override {
    return batch_.firstRow_[part + 1];
  }

 private:
  PathBatch& batch_;
  const BatchColumns& columns_;
};

int PathBatch::stage_gzip(const BatchSettings& settings, cli::IdRange id) {
  text_keys();  // built before the threads of group() need it
  stage_ = settings;
  stageId_ = id;
  staged_ = true;
  cli::FdSource raw(fd_);
  cli::GzipSource source(raw);
  cli::ChunkCutter cutter(kChunkBytes, kRecordLength);
  std::unique_ptr<char[]> chunk(new char[kChunkBytes + 1]);
  // A chunk's records each take a byte and a line end at least.
  PartRows scratch;
  scratch.make(kChunkBytes / 2 + 1, settings.edits, id);
  const BatchColumns columns = scratch.columns();
  firstRow_.assign(1, 0);
  std::int64_t line = 0;
  for (;;) {
    const cli::ChunkFill fill = cutter.next(chunk.get(), source);
    if (fill.error == cli::GzipSource::kDamaged) {
      damage_ = source.damage();
      return kDamagedGzip;
    }
    if (fill.error != 0) return static_cast<int>(-fill.error);
    std::size_t n = 0;
    cli::for_each_text_line(
        chunk.get(), fill.size, fill.cut, line, [&](std::string_view text, std::int64_t number) {
          const std::string_view record = text.substr(0, kRecordLength);
          columns.line.put(n, number);
          group_row(record, stage_, columns, n);
          if (row_needs_caller(columns, n) || columns.description[n] == kOddText) {
            kept_.emplace_back(firstRow_.back() + n, record);
          }
          ++n;
          return true;
        });
    if (n > 0) {
      chunks_.emplace_back().take(scratch, n);
      firstRow_.push_back(firstRow_.back() + n);
    }
    if (fill.end) return 0;
  }
}

int PathBatch::count(int threads, const BatchSettings* stage, cli::IdRange stageId) {
  if (file_ != nullptr) return file_->count(threads, stage, stageId);
  if (stage != nullptr) return stage_gzip(*stage, stageId);
  const RecordFileRead read = read_record_fd(fd_, block_, false, &lines_);
  damage_ = read.damage;
  return read.error;
}

std::size_t PathBatch::records() const {
  if (file_ != nullptr) return file_->records();
  return staged_ ? firstRow_.back() : block_.count();
}

int PathBatch::group(const BatchSettings& settings, const BatchColumns& columns, RowSink* sink) {
  if (file_ != nullptr) return file_->group(settings, columns, sink);
  if (staged_) {
    if (columns.editRows != nullptr || settings.tierSet != stage_.tierSet ||
        settings.edits != stage_.edits || !same_ids(columns, stageId_)) {
      return EINVAL;
    }
    Putting work(*this, columns);
    run_parts(chunks_.size(), settings.threads, work, sink);
    chunks_.clear();
    return 0;
  }
  for (std::size_t i = 0; i < lines_.size(); ++i) columns.line.put(i, lines_[i]);
  group_batch(source(), settings, columns, sink);
  return 0;
}

bool PathBatch::fetch_kept(const void* context, std::size_t i, char* room,
                           std::string_view& record) noexcept {
  const auto& kept = static_cast<const PathBatch*>(context)->kept_;
  const auto at = std::lower_bound(kept.begin(), kept.end(), i,
                                   [](const auto& k, std::size_t row) { return k.first < row; });
  if (at == kept.end() || at->first != i) return false;
  std::memcpy(room, at->second.data(), at->second.size());
  record = std::string_view(room, at->second.size());
  return true;
}

RecordSource PathBatch::source() const {
  if (file_ != nullptr) return file_->source();
  RecordSource s;
  if (staged_) {
    s.count = records();
    s.fetch = &PathBatch::fetch_kept;
    s.context = this;
    return s;
  }
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
