#include "batch/group_batch.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

namespace cmg290::batch {

namespace {

constexpr std::size_t kRecord = cmg290::kRecordLength;

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
      ready[k] = source.get(i + k, room + k * kRecord, staged[k]);
    }
    for (std::size_t k = 0; k < rows; ++k) {
      settle_or_group(ready[k], staged[k], settings, columns, i + k);
    }
  }
}

}  // namespace

void group_batch(const RecordSource& source, const BatchSettings& settings,
                 const BatchColumns& columns, RowSink* sink) {
  text_keys();  // built here, before any thread needs it
  const std::size_t count = source.count;
  const std::size_t batches = (count + kBatchRows - 1) / kBatchRows;
  const auto threads = static_cast<std::size_t>(std::max(settings.threads, 1));
  const std::size_t roomBytes = source.copies() ? kStageRows * kRecord : 0;
  std::unique_ptr<char[]> rooms(new char[std::max<std::size_t>(threads * roomBytes, 1)]);
  std::unique_ptr<std::atomic<bool>[]> done(
      new std::atomic<bool>[std::max<std::size_t>(batches, 1)]);
  for (std::size_t b = 0; b < batches; ++b) done[b].store(false, std::memory_order_relaxed);
  std::vector<std::thread> helpers;
  helpers.reserve(threads - 1);

  std::atomic<std::size_t> next{0};
  std::size_t handed = 0;  // batches given to the sink, by the calling thread only
  auto hand_over = [&](bool all) {
    while (handed < batches && (all || done[handed].load(std::memory_order_acquire))) {
      sink->rows(handed * kBatchRows, std::min(count, (handed + 1) * kBatchRows));
      ++handed;
    }
  };
  auto work = [&](std::size_t thread) noexcept {
    char* room = rooms.get() + thread * roomBytes;
    for (;;) {
      const std::size_t batch = next.fetch_add(1, std::memory_order_relaxed);
      if (batch >= batches) return;
      const std::size_t begin = batch * kBatchRows;
      group_rows(source, settings, columns, begin, std::min(count, begin + kBatchRows), room);
      done[batch].store(true, std::memory_order_release);
      // The calling thread takes what is grouped between its own batches,
      // while the others go on.
      if (thread == 0 && sink != nullptr) hand_over(false);
    }
  };
  for (std::size_t t = 1; t < threads; ++t) {
    try {
      helpers.emplace_back(work, t);
    } catch (const std::system_error&) {
      break;  // fewer threads than asked for: the others share the work
    }
  }
  work(0);
  for (std::thread& h : helpers) h.join();
  if (sink != nullptr) hand_over(true);
}

}  // namespace cmg290::batch
