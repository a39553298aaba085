// The rows of one part of a file, grouped before the file's number of
// records is known (LineFile, file_batch.h): held here in arrays of their
// own, then copied into the caller's columns once every part is read, so
// that the file is read once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "batch/batch_rows.h"

namespace cmg290::batch {

// Whether the ids `columns` wants are those staged as `staged`.
inline bool same_ids(const BatchColumns& columns, cli::IdRange staged) noexcept {
  return columns.id.data == nullptr ||
         (columns.id.range.start == staged.start && columns.id.range.length == staged.length);
}

class PartRows {
 public:
  // Room for `rows` rows (throws std::bad_alloc), the edits' keys too with
  // `edits`, and the ids of `id` where its length is not 0.
  void make(std::size_t rows, bool edits, cli::IdRange id = {});
  // Columns into this part's rows 0 to rows - 1, masks and lines included;
  // the integer columns have 0 where not reached, the masks tell.
  BatchColumns columns();
  // Made anew with the first `n` rows of `from` (throws std::bad_alloc).
  void take(const PartRows& from, std::size_t n);
  // Copies the first `n` rows into rows `first` on of `to`, with its own
  // missing values and `firstLine` added to each line, and frees them.
  void put(std::size_t n, const BatchColumns& to, std::size_t first,
           std::int64_t firstLine) noexcept;

 private:
  std::unique_ptr<std::int32_t[]> status_, cognitive_, age_;
  std::unique_ptr<double[]> motor_;
  std::unique_ptr<bool[]> cognitiveMissing_, ageMissing_;
  std::unique_ptr<TextKey[]> description_, cmg_, tableVersion_, grouperVersion_, tier_, ric_;
  cli::IdRange idRange_;
  std::unique_ptr<char[]> id_;
  std::unique_ptr<EditKey[]> edits_;
  std::unique_ptr<std::int64_t[]> line_;
};

}  // namespace cmg290::batch
