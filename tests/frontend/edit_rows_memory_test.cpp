// Memory the grouping threads cannot have while collecting edits in long
// form is reported once they have stopped, not lost: a program of its own,
// whose operator new refuses the larger lists of edits when asked to.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "batch/edit_rows.h"
#include "batch_records.h"

namespace {

std::atomic<bool> refuseEditLists{false};

bool refused(std::size_t size) {
  constexpr std::size_t entry = sizeof(cmg290::batch::RowEdit);
  return refuseEditLists.load(std::memory_order_relaxed) && size >= 64 * entry && size % entry == 0;
}

}  // namespace

// The replacements pair malloc with free, which the compiler cannot see.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
  if (refused(size)) throw std::bad_alloc();
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace cmg290::test {
namespace {

TEST(EditRowsMemory, AListThatCannotGrowIsReportedByFinish) {
  const std::vector<std::string> records = batch_records(2000);
  const std::vector<std::string_view> views(records.begin(), records.end());
  batch::RecordSource source;
  source.count = views.size();
  source.views = views.data();
  batch::BatchSettings settings;
  settings.threads = 2;
  // Once without refusing: this also builds what the edits of the first
  // record build on first use (the compiled-in tier set).
  batch::EditRows plain(records.size());
  batch::find_batch_edits(source, settings, plain);
  EXPECT_NO_THROW(plain.finish());
  EXPECT_GT(plain.size(), 64u);

  batch::EditRows rows(records.size());
  refuseEditLists = true;
  batch::find_batch_edits(source, settings, rows);
  refuseEditLists = false;
  EXPECT_THROW(rows.finish(), std::bad_alloc);
}

}  // namespace
}  // namespace cmg290::test
