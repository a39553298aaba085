// A file of records, one per line, read into one block of fixed-width
// records, with the line rules of `cmg290 group` (its own line reader does
// the cutting, chunk_cutter.h): LF or CRLF, a last line without a line end
// counts, empty lines are skipped, a longer line keeps its first 1251
// characters and a shorter one its own length: it is followed by zero bytes,
// which are not part of it (as NumPy reads such items, and as
// RecordSource's FixedWidth does), so the grouper still finds it short.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace cmg290::batch {

// Records laid end to end, kRecordLength bytes each, in one anonymous
// mapping, which can be handed to a front end's array at the end. A regular
// file's lines are counted first, so the mapping is made once at its size:
// grown by mremap, it loses its huge pages and is slow to read. Huge pages,
// where the kernel grants them, spare most of the page faults of filling
// it. The room append() gives is zero bytes, as a fresh mapping is.
class RecordBlock {
 public:
  RecordBlock() = default;
  ~RecordBlock();
  RecordBlock(const RecordBlock&) = delete;
  RecordBlock& operator=(const RecordBlock&) = delete;

  // Makes room for `records` records in all, where there is less.
  void expect(std::size_t records);
  // Room for one more record, at the end.
  char* append();
  std::size_t count() const { return count_; }
  const char* data() const { return data_; }
  // The length of record i: up to its last byte that is not zero.
  std::size_t length(std::size_t i) const;

  // Gives up the mapping to the caller, who must unmap() it.
  struct Mapping {
    void* data;
    std::size_t bytes;
  };
  Mapping release();
  static void unmap(Mapping mapping);

 private:
  void reserve(std::size_t records);

  char* data_ = nullptr;
  std::size_t mapped_ = 0;
  std::size_t count_ = 0;
  std::size_t capacity_ = 0;
};

// RecordFileRead::error of a gzip file whose compressed data is damaged.
inline constexpr int kDamagedGzip = -2;

struct RecordFileRead {
  int error = 0;               // errno of a failed open or read, kDamagedGzip, else 0
  long long zeroByteLine = 0;  // with stopAtZeroByte: the line that holds one, else 0
  std::string damage;          // with kDamagedGzip: "damaged gzip data: WHAT"

  // What went wrong, as `cmg290 group` words it after "cannot read NAME: ":
  // strerror's text or the damage.
  std::string error_text() const;
};

// Reads the records of file `path` into `block`, which starts empty. A file
// that starts with the gzip magic bytes (1f 8b) is inflated, its members one
// after another, as the command reads it; the bytes tell, never the name.
// With `stopAtZeroByte`, stops at the first line whose kept bytes hold a
// zero byte (for front ends whose strings cannot hold one) and names its
// line (1-based, empty lines counted). With `lines`, appends each record's
// line there (1-based, empty lines counted). Reads nothing of a front end's
// runtime: callers may run it with their interpreter's lock released.
RecordFileRead read_record_file(const char* path, RecordBlock& block, bool stopAtZeroByte = false,
                                std::vector<std::int64_t>* lines = nullptr);

// The same for a file already open (not closed here), read from its
// current offset.
RecordFileRead read_record_fd(int fd, RecordBlock& block, bool stopAtZeroByte = false,
                              std::vector<std::int64_t>* lines = nullptr);

}  // namespace cmg290::batch
