#include "batch/edit_rows.h"

#include <algorithm>
#include <new>

#include "batch/group_batch.h"

namespace cmg290::batch {

EditRows::EditRows(std::size_t rows)
    : lists_((rows + kBatchRows - 1) / kBatchRows), unordered_(lists_.size(), 0) {}

void EditRows::add(std::size_t row, const cmg290::Edits& edits) noexcept {
  if (edits.empty()) return;
  const std::size_t batch = row / kBatchRows;
  std::vector<RowEdit>& list = lists_[batch];
  if (!list.empty() && list.back().row > row) unordered_[batch] = 1;
  try {
    for (const cmg290::Edit& e : edits) list.push_back({row, e});
  } catch (const std::bad_alloc&) {
    failed_.store(true, std::memory_order_relaxed);
  }
}

void EditRows::finish() {
  if (failed_.load(std::memory_order_relaxed)) throw std::bad_alloc();
  for (std::size_t b = 0; b < lists_.size(); ++b) {
    if (unordered_[b] == 0) continue;
    // Stable: a row's edits keep the order the checks found them in.
    std::stable_sort(lists_[b].begin(), lists_[b].end(),
                     [](const RowEdit& x, const RowEdit& y) { return x.row < y.row; });
    unordered_[b] = 0;
  }
}

std::vector<std::size_t> find_batch_edits(const RecordSource& source, BatchSettings settings,
                                          EditRows& rows, const IdColumn& id) {
  settings.edits = true;
  // The CMG keys note the rows not ready; no other result is kept.
  std::vector<TextKey> state(source.count);
  BatchColumns columns;
  columns.cmg = state.data();
  columns.editRows = &rows;
  columns.id = id;
  group_batch(source, settings, columns);
  std::vector<std::size_t> left;
  for (std::size_t i = 0; i < state.size(); ++i) {
    if (state[i] == kUnsettled) left.push_back(i);
  }
  return left;
}

void settle_edit_row(std::string_view record, const BatchSettings& settings, EditRows& rows,
                     std::size_t row, const IdColumn& id) {
  id.put(row, record);
  cmg290::Edits edits;
  find_record_edits(record, group_one(record, settings.tierSet), settings.tierSet, edits);
  rows.add(row, edits);
}

std::size_t EditRows::size() const noexcept {
  std::size_t n = 0;
  for (const std::vector<RowEdit>& list : lists_) n += list.size();
  return n;
}

}  // namespace cmg290::batch
