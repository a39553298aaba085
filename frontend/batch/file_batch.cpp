#include "batch/file_batch.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>

#include "batch/run_parts.h"
#include "chunk_cutter.h"

namespace cmg290::batch {

namespace {

// Bytes read past a part's end: enough to find the end of a line that
// begins in it and holds a record (its '\r' and '\n' too); a line that does
// not end within them is longer than a record, whatever its length.
constexpr std::size_t kTail = kRecordLength + 2;

#ifdef MADV_POPULATE_READ
constexpr int kPopulateRead = MADV_POPULATE_READ;
#else
constexpr int kPopulateRead = 22;  // Linux 5.14
#endif

// The same words as the command's for a file cut short.
constexpr const char* kChangedText = "the file was cut short while it was being read";

// The first error of several threads.
void keep_first(std::atomic<int>& kept, int error) {
  int none = 0;
  if (error != 0) kept.compare_exchange_strong(none, error);
}

}  // namespace

const char* file_error_text(int error) {
  return error == kFileChanged ? kChangedText : std::strerror(error);
}

FdBytes::FdBytes(int fd) : fd_(fd) {
  struct stat st;
  if (fstat(fd, &st) != 0) {
    error_ = errno;
  } else if (S_ISDIR(st.st_mode)) {
    error_ = EISDIR;
  } else {
    size_ = static_cast<std::uint64_t>(st.st_size);
  }
}

FdBytes::~FdBytes() = default;

void FdBytes::prepare(std::size_t slots, std::size_t bytes) noexcept {
  if (arena_ != nullptr || error_ != 0) return;
  try {
    arena_ = cli::WindowArena::create(slots, bytes + cli::WindowArena::page_size());
  } catch (const std::bad_alloc&) {
    arena_ = nullptr;  // read with pread() instead
  }
}

const char* FdBytes::show(std::size_t slot, char* room, std::size_t n, std::uint64_t offset,
                          int& error) noexcept {
  if (arena_ != nullptr) {
    const std::uint64_t from = offset - offset % cli::WindowArena::page_size();
    const char* window = arena_->map(slot, fd_, from, static_cast<std::size_t>(offset + n - from));
    if (window != nullptr) {
      // The page tables filled in one call instead of a fault every few
      // pages. A kernel without it, or a page past a file cut short, leaves
      // them to be faulted in (the arena answers the latter).
      madvise(const_cast<char*>(window), static_cast<std::size_t>(offset + n - from),
              kPopulateRead);
      return window + (offset - from);
    }
    error = errno;
    return nullptr;
  }
  char* at = room;
  while (n > 0) {
    const ssize_t got = ::pread(fd_, at, n, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      error = got < 0 ? errno : kFileChanged;
      return nullptr;
    }
    at += got;
    n -= static_cast<std::size_t>(got);
    offset += static_cast<std::uint64_t>(got);
  }
  return room;
}

int FdBytes::done(std::size_t slot) noexcept {
  if (arena_ == nullptr) return 0;
  const bool cut = arena_->cut_short(slot);
  arena_->unmap(slot);
  // A file cut short within the last page of a window reads zero bytes
  // there, which raises no fault: its size tells.
  struct stat st;
  if (cut || (fstat(fd_, &st) == 0 && static_cast<std::uint64_t>(st.st_size) < size_)) {
    return kFileChanged;
  }
  return 0;
}

LineFile::LineFile(ByteRanges& bytes, std::size_t partBytes)
    : bytes_(bytes), partBytes_(std::max(partBytes, std::size_t{1})) {}

LineFile::~LineFile() = default;

std::size_t LineFile::parts() const {
  return static_cast<std::size_t>((bytes_.size() + partBytes_ - 1) / partBytes_);
}

std::size_t LineFile::buffer_bytes() const {
  return 1 + partBytes_ + kTail;
}

template <typename Visit>
int LineFile::each_record(std::size_t part, std::size_t slot, char* buffer, Visit&& visit,
                          std::size_t* lines) const {
  // The lines that begin in [begin, end): the first after the line end at
  // or after begin - 1, the first of the file for part 0.
  const std::uint64_t size = bytes_.size();
  const std::uint64_t begin = part * partBytes_;
  const std::uint64_t end = std::min<std::uint64_t>(begin + partBytes_, size);
  const std::uint64_t low = begin > 0 ? begin - 1 : 0;
  const std::uint64_t high = std::min<std::uint64_t>(end + kTail, size);
  int error = 0;
  const char* const data =
      bytes_.show(slot, buffer, static_cast<std::size_t>(high - low), low, error);
  if (data == nullptr) return error;
  const char* const last = data + (high - low);
  const char* const stop = data + (end - low);  // lines beginning here belong to the next part
  const char* p = data;
  if (begin > 0) {
    const char* nl =
        static_cast<const char*>(std::memchr(data, '\n', static_cast<std::size_t>(last - data)));
    p = nl != nullptr ? nl + 1 : last;
  }
  std::size_t line = 0;
  for (; p < stop; ++line) {
    const char* nl =
        static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(last - p)));
    // Ahead of the next line's bytes, across page ends, as the command's
    // line search does.
    if (nl != nullptr) cli::LineIndex::prefetch_ahead(nl, last);
    std::size_t length;
    if (nl != nullptr || high == size) {
      const char* lineEnd = nl != nullptr ? nl : last;
      length = static_cast<std::size_t>(lineEnd - p);
      if (length > 0 && p[length - 1] == '\r') --length;
    } else {
      length = kRecordLength;  // a line longer than kTail, of which a record is read
    }
    if (length > 0 && !visit(std::string_view(p, std::min(length, kRecordLength)), line)) break;
    if (nl == nullptr) {
      ++line;
      break;
    }
    p = nl + 1;
  }
  if (lines != nullptr) *lines = line;
  return bytes_.done(slot);
}

// The first pass: the records of each part.
class LineFile::Counting : public PartWork {
 public:
  Counting(LineFile& file, std::size_t threads, std::vector<std::size_t>& counts,
           std::vector<std::size_t>& lines)
      : file_(file),
        counts_(counts),
        lines_(lines),
        buffers_(new char[threads * file.buffer_bytes()]),
        scratch_(file.staged_.empty() ? 0 : threads) {
    // A part's lines begin at distinct bytes: it has at most partBytes_
    // records. Pages of the room are taken only as rows are written.
    for (PartRows& s : scratch_) s.make(file.partBytes_, file.stage_.edits, file.stageId_);
  }

  void run(std::size_t part, std::size_t thread) noexcept override {
    std::size_t n = 0;
    if (scratch_.empty()) {
      keep_first(error, file_.each_record(
                            part, thread, buffer(thread),
                            [&](std::string_view, std::size_t) {
                              ++n;
                              return true;
                            },
                            &lines_[part]));
    } else {
      const BatchColumns columns = scratch_[thread].columns();
      keep_first(error, file_.each_record(
                            part, thread, buffer(thread),
                            [&](std::string_view record, std::size_t line) {
                              columns.line.put(n, static_cast<std::int64_t>(line));
                              group_row(record, file_.stage_, columns, n++);
                              return true;
                            },
                            &lines_[part]));
      try {
        file_.staged_[part].take(scratch_[thread], n);
      } catch (const std::bad_alloc&) {
        keep_first(error, ENOMEM);
      }
    }
    counts_[part] = n;
  }
  std::size_t rows_end(std::size_t) const noexcept override { return 0; }

  std::atomic<int> error{0};

 private:
  char* buffer(std::size_t thread) { return buffers_.get() + thread * file_.buffer_bytes(); }

  LineFile& file_;
  std::vector<std::size_t>& counts_;
  std::vector<std::size_t>& lines_;
  std::unique_ptr<char[]> buffers_;
  std::vector<PartRows> scratch_;
};

// With rows staged: each part's rows into the caller's columns.
class LineFile::Putting : public PartWork {
 public:
  Putting(LineFile& file, const BatchColumns& columns) : file_(file), columns_(columns) {}

  void run(std::size_t part, std::size_t) noexcept override {
    const std::size_t first = file_.firstRow_[part];
    file_.staged_[part].put(rows_end(part) - first, columns_, first,
                            static_cast<std::int64_t>(file_.firstLine_[part]) + 1);
  }
  std::size_t rows_end(std::size_t part) const noexcept override {
    return file_.firstRow_[part + 1];
  }

 private:
  LineFile& file_;
  const BatchColumns& columns_;
};

// The second pass: each part's records into its rows.
class LineFile::Grouping : public PartWork {
 public:
  Grouping(const LineFile& file, const BatchSettings& settings, const BatchColumns& columns,
           std::size_t threads)
      : file_(file),
        settings_(settings),
        columns_(columns),
        buffers_(new char[threads * file.buffer_bytes()]) {}

  void run(std::size_t part, std::size_t thread) noexcept override {
    std::size_t row = file_.firstRow_[part];
    const std::size_t end = rows_end(part);
    const std::uint64_t firstLine = file_.firstLine_[part] + 1;
    bool more = false;  // a record past the part's rows
    keep_first(error, file_.each_record(
                          part, thread, buffers_.get() + thread * file_.buffer_bytes(),
                          [&](std::string_view record, std::size_t line) {
                            if (row == end) return !(more = true);
                            columns_.line.put(row, static_cast<std::int64_t>(firstLine + line));
                            group_row(record, settings_, columns_, row++);
                            return true;
                          }));
    if (more || row != end) keep_first(error, kFileChanged);
  }
  std::size_t rows_end(std::size_t part) const noexcept override {
    return file_.firstRow_[part + 1];
  }

  std::atomic<int> error{0};

 private:
  const LineFile& file_;
  const BatchSettings& settings_;
  const BatchColumns& columns_;
  std::unique_ptr<char[]> buffers_;
};

int LineFile::count(int threads, const BatchSettings* stage, cli::IdRange stageId) {
  const std::size_t n = parts();
  staged_.clear();
  if (stage != nullptr) {
    text_keys();  // built here, before any thread needs it
    stage_ = *stage;
    stageId_ = stageId;
    staged_.resize(std::max<std::size_t>(n, 1));
  }
  std::vector<std::size_t> counts(n, 0), lines(n, 0);
  firstRow_.assign(n + 1, 0);
  firstLine_.assign(n + 1, 0);
  lookup_.reset(new char[buffer_bytes()]);
  const auto slots = static_cast<std::size_t>(std::max(threads, 1));
  lookupSlot_ = slots;
  bytes_.prepare(slots + 1, buffer_bytes());
  Counting work(*this, static_cast<std::size_t>(std::max(threads, 1)), counts, lines);
  run_parts(n, threads, work, nullptr);
  if (const int error = work.error.load(); error != 0) {
    firstRow_.clear();  // no records, and nothing to group
    staged_.clear();
    return error;
  }
  for (std::size_t p = 0; p < n; ++p) {
    firstRow_[p + 1] = firstRow_[p] + counts[p];
    firstLine_[p + 1] = firstLine_[p] + lines[p];
  }
  return 0;
}

int LineFile::group(const BatchSettings& settings, const BatchColumns& columns, RowSink* sink) {
  if (firstRow_.size() != parts() + 1) return EINVAL;  // not counted
  text_keys();                                         // built here, before any thread needs it
  // No more threads than count() prepared readers for.
  const auto threads = static_cast<int>(
      std::min<std::size_t>(static_cast<std::size_t>(std::max(settings.threads, 1)), lookupSlot_));
  // Rows staged with these settings are copied; any other grouping (the
  // edits in long form among it) reads the file again.
  if (!staged_.empty() && columns.editRows == nullptr && settings.tierSet == stage_.tierSet &&
      settings.edits == stage_.edits && same_ids(columns, stageId_)) {
    Putting work(*this, columns);
    run_parts(parts(), threads, work, sink);
    staged_.clear();
    return 0;
  }
  Grouping work(*this, settings, columns, static_cast<std::size_t>(threads));
  run_parts(parts(), threads, work, sink);
  return work.error.load();
}

bool LineFile::fetch(const void* context, std::size_t i, char* room,
                     std::string_view& record) noexcept {
  const auto& file = *static_cast<const LineFile*>(context);
  const auto& first = file.firstRow_;
  const std::size_t part =
      static_cast<std::size_t>(std::upper_bound(first.begin(), first.end(), i) - first.begin()) - 1;
  std::size_t k = i - first[part];
  bool found = false;
  const int error = file.each_record(part, file.lookupSlot_, file.lookup_.get(),
                                     [&](std::string_view text, std::size_t) {
                                       if (k-- > 0) return true;
                                       std::memcpy(room, text.data(), text.size());
                                       record = std::string_view(room, text.size());
                                       return !(found = true);
                                     });
  return error == 0 && found;
}

RecordSource LineFile::source() const {
  RecordSource s;
  s.count = records();
  s.fetch = &LineFile::fetch;
  s.context = this;
  return s;
}

}  // namespace cmg290::batch
