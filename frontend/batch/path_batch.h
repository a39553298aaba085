// A file of records named by its path, as the front ends' path readers take
// it (Python's group_frame(path) and cmg290.dask's files, R's
// group(file =)): a plain file is grouped where it lies, a part at a time
// on the threads (LineFile, file_batch.h); one that starts with the gzip
// magic bytes (1f 8b), whatever its name, is inflated on the calling thread
// and cut into lines as the command cuts them (chunk_cutter.h). Given the
// settings when counting, its lines are grouped a chunk at a time as they
// are inflated, into rows of the chunk's own (PartRows), so that memory
// stays near the result's; without, it is read into a block of records
// (record_file.h), which the threads then group. Either way the rows, their
// line numbers and the errors are the same as for the plain bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "batch/file_batch.h"
#include "batch/part_rows.h"
#include "batch/record_file.h"

namespace cmg290::batch {

class PathBatch {
 public:
  PathBatch();
  ~PathBatch();
  PathBatch(const PathBatch&) = delete;
  PathBatch& operator=(const PathBatch&) = delete;

  // Opens the file: 0 or errno (EISDIR for a directory).
  int open(const char* path);
  // Bytes of the file as it lies (compressed for gzip).
  std::uint64_t size() const;
  // Reads as far as records() needs: counts the lines of a plain file on
  // up to `threads` threads, grouping them too with `stage` (the settings
  // group() will be given: LineFile::count()), inflates a gzip one. 0 or
  // an error for error_text(); throws std::bad_alloc before anything is
  // read.
  // `stageId`: the ids staged too (LineFile::count()).
  int count(int threads, const BatchSettings* stage = nullptr, cli::IdRange stageId = {});
  std::size_t records() const;
  // Groups the records counted as LineFile::group() does, with each line
  // in columns.line when asked for. 0 or an error for error_text(); EINVAL,
  // with nothing written, for a gzip file staged with other settings, or
  // asked for the edits in long form.
  int group(const BatchSettings& settings, const BatchColumns& columns, RowSink* sink = nullptr);
  // The records again, on one thread, after group() (LineFile::source()).
  // Of a gzip file staged, only those of the rows that need the caller
  // (row_needs_caller()) are kept, and ready.
  RecordSource source() const;

  // The text of an error of these, after "cannot read NAME: " as the
  // command words it: strerror's, a file cut short, or the damage of gzip
  // data.
  std::string error_text(int error) const;

 private:
  int fd_ = -1;
  bool gzip_ = false;
  std::unique_ptr<FdBytes> bytes_;
  std::unique_ptr<LineFile> file_;
  RecordBlock block_;                // gzip: the records inflated
  std::vector<std::int64_t> lines_;  // and their lines
  std::string damage_;
  class Putting;
  int stage_gzip(const BatchSettings& settings, cli::IdRange id);
  static bool fetch_kept(const void* context, std::size_t i, char* room,
                         std::string_view& record) noexcept;
  // A gzip file staged: each chunk's rows, the first row of each (and the
  // number of records last), and the records of the rows that need the
  // caller, by row.
  bool staged_ = false;
  BatchSettings stage_;
  cli::IdRange stageId_;
  std::vector<PartRows> chunks_;
  std::vector<std::size_t> firstRow_;
  std::vector<std::pair<std::size_t, std::string>> kept_;
};

}  // namespace cmg290::batch
