// The threads of a batch: parts of the work taken one at a time by every
// thread, the calling thread among them, and their rows handed to a RowSink
// on the calling thread in row order as the parts are done. Shared by the
// batch of records (group_batch.h) and the batch of a file's lines
// (file_batch.h).
#pragma once

#include <cstddef>

#include "batch/group_batch.h"

namespace cmg290::batch {

class PartWork {
 public:
  // Does part `part` on thread `thread` (0 is the calling thread); may
  // neither throw nor leave the thread by other means.
  virtual void run(std::size_t part, std::size_t thread) noexcept = 0;
  // The first row after part `part`'s: parts hold rows in order, each part
  // from where the one before it ends.
  virtual std::size_t rows_end(std::size_t part) const noexcept = 0;

 protected:
  ~PartWork() = default;
};

// Runs every part of `work` on up to `threads` threads (fewer when the
// system gives no more). With a sink, every row has been handed to it when
// this returns. Throws std::bad_alloc before any part is run.
void run_parts(std::size_t parts, int threads, PartWork& work, RowSink* sink);

}  // namespace cmg290::batch
