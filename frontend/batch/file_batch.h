// Grouping a file of records, one per line, where it lies: the grouping
// threads read it a part at a time into a small buffer each and group its
// lines from there, so that nothing the size of the file is ever held, and
// no string is made for a record. The line rules are those of `cmg290
// group` (chunk_cutter.h): LF or CRLF, a last line without a line end
// counts, an empty line is no record, a longer line is read to its 1251st
// byte and a shorter one keeps its length (the grouper finds it short);
// zero bytes and any other byte are part of the line.
//
// The rows are numbered in two passes over the file, both on the threads
// (or the first groups too, into rows of each part's own; see count()):
// the first counts the records and the lines of each part, so that the
// caller can make its columns at their size, and the second groups each
// part into the rows that follow those of the parts before it, with each
// record's line (1-based; empty lines are lines, as in the command's
// messages) in BatchColumns::line when asked for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "batch/group_batch.h"
#include "batch/part_rows.h"
#include "mapped_window.h"

namespace cmg290::batch {

// An error of reading: an errno value, or this when the file is shorter
// than it was when the reading began, or has changed its lines between
// the two passes.
inline constexpr int kFileChanged = -1;

// The text of an error other than 0: strerror's, or for kFileChanged that
// of `cmg290 group` for a file cut short.
const char* file_error_text(int error);

// Where a file's bytes come from: any range of them, by offset, shown to
// one reader (a slot: a grouping thread) at a time. A file descriptor is
// one (FdBytes); a compressed file, which can only be read straight
// through, would come here as the bytes it inflates to.
class ByteRanges {
 public:
  virtual ~ByteRanges() = default;
  // The bytes that are read: offsets [0, size()).
  virtual std::uint64_t size() const noexcept = 0;
  // Readers 0 to slots - 1 will ask for at most `bytes` bytes at a time.
  virtual void prepare(std::size_t slots, std::size_t bytes) noexcept = 0;
  // Shows bytes [offset, offset + n), all within size(), to reader `slot`:
  // in place, or read into `room`, which has room for them. Returns where
  // they are, or nullptr with `error` set to an errno value or kFileChanged
  // when the bytes are no longer there.
  virtual const char* show(std::size_t slot, char* room, std::size_t n, std::uint64_t offset,
                           int& error) noexcept = 0;
  // The reader is done with what it was shown: 0, or kFileChanged when
  // those bytes changed under it (what it read of them is not the file's).
  virtual int done(std::size_t slot) noexcept = 0;
};

// The bytes a file descriptor (not owned) has when this is made: shown in
// place through the mapped windows of the process's WindowArena
// (mapped_window.h), which a file cut short cannot kill the process
// through, or read with pread() when the arena is taken (by another file
// being read) or cannot be had.
class FdBytes : public ByteRanges {
 public:
  explicit FdBytes(int fd);
  ~FdBytes() override;
  // errno of a descriptor fstat() refuses, or of a directory, else 0.
  int error() const { return error_; }
  // Whether the bytes are shown in place, after prepare().
  bool mapped() const { return arena_ != nullptr; }
  std::uint64_t size() const noexcept override { return size_; }
  void prepare(std::size_t slots, std::size_t bytes) noexcept override;
  const char* show(std::size_t slot, char* room, std::size_t n, std::uint64_t offset,
                   int& error) noexcept override;
  int done(std::size_t slot) noexcept override;

 private:
  int fd_;
  std::uint64_t size_ = 0;
  int error_ = 0;
  std::unique_ptr<cli::WindowArena> arena_;
};

class LineFile {
 public:
  // Bytes per part: the most one thread reads at a time (and a line's head
  // past it).
  static constexpr std::size_t kPartBytes = std::size_t{512} << 10;

  explicit LineFile(ByteRanges& bytes, std::size_t partBytes = kPartBytes);
  ~LineFile();

  // The first pass: counts the records on up to `threads` threads. Returns
  // 0 or an error as above (ENOMEM when a part's rows find no room).
  // Throws std::bad_alloc before a thread starts. With `stage`, the
  // settings group() will be given, the pass groups each part too, into
  // rows of its own, and group() with those settings only copies them:
  // the file is read once, and the rows are held twice for a moment.
  // `stageId`: the ids the staged rows keep (none where its length is 0).
  int count(int threads, const BatchSettings* stage = nullptr, cli::IdRange stageId = {});
  // The records counted.
  std::size_t records() const { return firstRow_.empty() ? 0 : firstRow_.back(); }

  // The second pass, after count(): groups the records into rows 0 to
  // records() - 1 of `columns` (every row written, or an error returned;
  // EINVAL, with nothing written, before count() has succeeded)
  // on settings.threads threads, at most as many as count() had, handing them to the sink as
  // group_batch() does. Returns 0 or an error as above; a part found holding other records than
  // were counted writes no row past its own.
  int group(const BatchSettings& settings, const BatchColumns& columns, RowSink* sink = nullptr);

  // A source of the records counted, each read again on its own: for the
  // few rows a caller settles itself afterwards, on one thread at a time,
  // after group() has returned.
  // A record that can no longer be read is not ready.
  RecordSource source() const;

 private:
  class Counting;
  class Grouping;
  class Putting;

  // Has reader `slot` (with `buffer` for its room) read part `part` and
  // calls visit(text) for the text of each record whose line begins in
  // it, while visit returns true.
  // visit(text, k) is told the record's line k among the part's lines
  // (from 0, empty ones counted); `lines`, when not null, is set to the
  // number of lines that begin in the part once every record is visited.
  template <typename Visit>
  int each_record(std::size_t part, std::size_t slot, char* buffer, Visit&& visit,
                  std::size_t* lines = nullptr) const;

  std::size_t parts() const;
  std::size_t buffer_bytes() const;
  static bool fetch(const void* context, std::size_t i, char* room,
                    std::string_view& record) noexcept;

  ByteRanges& bytes_;
  std::size_t partBytes_;
  // The first row of each part, and after the last the number of records.
  std::vector<std::size_t> firstRow_;
  // The lines before each part, the same way.
  std::vector<std::uint64_t> firstLine_;
  // With count(threads, stage): each part's rows, and the settings.
  std::vector<PartRows> staged_;
  BatchSettings stage_;
  cli::IdRange stageId_;
  std::unique_ptr<char[]> lookup_;  // the buffer of source()'s reads
  std::size_t lookupSlot_ = 0;      // and the reader it is
};

}  // namespace cmg290::batch
