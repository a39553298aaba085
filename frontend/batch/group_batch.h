// Grouping many records on several threads into the plain arrays of
// batch_rows.h, for the front ends that hand results over as columns (the
// Python module, the R package). Nothing here calls a front end's runtime:
// the records are read through a RecordSource, and the texts are keys.
#pragma once

#include <cstddef>

#include "batch/batch_rows.h"
#include "batch/record_source.h"

namespace cmg290::batch {

// Rows a thread takes at a time: the rows [b * kBatchRows, (b + 1) *
// kBatchRows) of batch b are grouped by one thread.
inline constexpr std::size_t kBatchRows = 4096;

// Takes the rows grouped so far, on the calling thread, while the other
// threads go on grouping: rows(begin, end) is called in row order, once for
// each row, and must neither throw nor leave the thread by other means.
class RowSink {
 public:
  virtual ~RowSink() = default;
  virtual void rows(std::size_t begin, std::size_t end) noexcept = 0;
};

// Groups every record of `source` into `columns` on settings.threads
// threads, the calling thread among them (fewer when the system gives no
// more). A record that is not ready leaves its row with the CMG key
// kUnsettled and nothing else written. With a sink, every row has been
// handed to it when this returns. Memory is taken before any thread
// starts; what throws (std::bad_alloc) does so before a row is grouped.
void group_batch(const RecordSource& source, const BatchSettings& settings,
                 const BatchColumns& columns, RowSink* sink = nullptr);

}  // namespace cmg290::batch
