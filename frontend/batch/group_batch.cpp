#include "batch/group_batch.h"

#include "batch/run_parts.h"

#include <algorithm>
#include <memory>
#include <string_view>

namespace cmg290::batch {

namespace {

// Records copied out of a block are read from all over their 1251 bytes, an
// order the hardware does not foresee in a large array. Copying a few of
// them at a time into a small room reads memory straight through, and the
// grouper then finds them in the cache. Records read in place are grouped
// one by one instead, right after the source has looked at them (an
// ASCII check reads every byte), while they are in the nearest cache.
constexpr std::size_t kStageRows = 32;

void settle_or_group(bool ready, std::string_view record, const BatchSettings& settings,
                     const BatchColumns& columns, std::size_t row) noexcept {
  if (ready) {
    group_row(record, settings, columns, row);
  } else {
    columns.cmg[row] = kUnsettled;
  }
}

void group_rows(const RecordSource& source, const BatchSettings& settings,
                const BatchColumns& columns, std::size_t begin, std::size_t end,
                char* room) noexcept {
  if (!source.copies()) {
    for (std::size_t i = begin; i < end; ++i) {
      std::string_view record;
      const bool ready = source.get(i, room, record);
      settle_or_group(ready, record, settings, columns, i);
    }
    return;
  }
  for (std::size_t i = begin; i < end; i += kStageRows) {
    const std::size_t rows = std::min(kStageRows, end - i);
    std::string_view staged[kStageRows];
    bool ready[kStageRows];
    for (std::size_t k = 0; k < rows; ++k) {
      ready[k] = source.get(i + k, room + k * kRecordLength, staged[k]);
    }
    for (std::size_t k = 0; k < rows; ++k) {
      settle_or_group(ready[k], staged[k], settings, columns, i + k);
    }
  }
}

// The batches of rows of one call.
class RowBatches : public PartWork {
 public:
  RowBatches(const RecordSource& source, const BatchSettings& settings, const BatchColumns& columns,
             std::size_t threads)
      : source_(source),
        settings_(settings),
        columns_(columns),
        roomBytes_(source.copies() ? kStageRows * kRecordLength : 0),
        rooms_(new char[std::max<std::size_t>(threads * roomBytes_, 1)]) {}

  void run(std::size_t batch, std::size_t thread) noexcept override {
    const std::size_t begin = batch * kBatchRows;
    group_rows(source_, settings_, columns_, begin, rows_end(batch),
               rooms_.get() + thread * roomBytes_);
  }
  std::size_t rows_end(std::size_t batch) const noexcept override {
    return std::min(source_.count, (batch + 1) * kBatchRows);
  }

 private:
  const RecordSource& source_;
  const BatchSettings& settings_;
  const BatchColumns& columns_;
  std::size_t roomBytes_;
  std::unique_ptr<char[]> rooms_;
};

}  // namespace

void group_batch(const RecordSource& source, const BatchSettings& settings,
                 const BatchColumns& columns, RowSink* sink) {
  text_keys();  // built here, before any thread needs it
  const std::size_t batches = (source.count + kBatchRows - 1) / kBatchRows;
  const auto threads = static_cast<std::size_t>(std::max(settings.threads, 1));
  RowBatches work(source, settings, columns, threads);
  run_parts(batches, settings.threads, work, sink);
}

}  // namespace cmg290::batch
