// The edits of a batch in long form: one entry per edit, with the row of
// its record, collected by the grouping threads and read in row order
// afterwards (Python's and R's edits_frame).
//
// Each batch of rows the engine hands a thread (kBatchRows rows) has a list
// of its own, which only the thread grouping that batch writes to; reading
// the lists one after the other gives the entries in row order. The lists
// grow as edits are found, on the grouping threads: memory that cannot be
// had is noted and reported by check() once the threads have stopped.
#pragma once

#include <atomic>
#include <cstddef>
#include <string_view>
#include <vector>

#include "batch/batch_rows.h"
#include "batch/record_source.h"
#include "cmg290/edits.h"

namespace cmg290::batch {

struct RowEdit {
  std::size_t row;
  cmg290::Edit edit;
};

class EditRows {
 public:
  // For a batch of `rows` rows.
  explicit EditRows(std::size_t rows);

  // Notes the edits of row `row`. On a grouping thread, only for rows of
  // the batch that thread groups; on the calling thread once they have
  // stopped, for any row (the rows it settles itself).
  void add(std::size_t row, const cmg290::Edits& edits) noexcept;

  // Once every row has been added: throws std::bad_alloc when an add could
  // not keep its edits, and puts rows added out of order into row order.
  void finish();

  std::size_t size() const noexcept;

  // Calls f(const RowEdit&) for every entry, in row order and, within a
  // row, in the order the checks found them.
  template <class F>
  void each(F f) const {
    for (const std::vector<RowEdit>& list : lists_) {
      for (const RowEdit& e : list) f(e);
    }
  }

 private:
  std::vector<std::vector<RowEdit>> lists_;  // one per batch of rows
  std::vector<unsigned char> unordered_;     // per list: a row came late
  std::atomic<bool> failed_{false};
};

// Groups every record of `source` on settings.threads threads (settings.edits
// is taken as true) and notes each record's edits in `rows`, made for
// source.count rows, and each record's id in `id` when it has room.
// Returns the rows whose records were not ready, in order, for the caller
// to read and hand to settle_edit_row before rows.finish().
std::vector<std::size_t> find_batch_edits(const RecordSource& source, BatchSettings settings,
                                          EditRows& rows, const IdColumn& id = {});

// Notes the edits of record `record`, row `row`, on the calling thread, and
// its id in `id`.
void settle_edit_row(std::string_view record, const BatchSettings& settings, EditRows& rows,
                     std::size_t row, const IdColumn& id = {});

}  // namespace cmg290::batch
