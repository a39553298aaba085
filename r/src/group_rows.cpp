#include "group_rows.h"
#include "thread_count.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "cmg290/status.h"
#include "cmg290/tier_set.h"
#include "edit_keys.h"
#include "record_text.h"

namespace cmg290::r {

namespace {

// Rows a thread takes at a time, and the fewest rows worth a thread.
constexpr std::size_t kBatchRows = 4096;
constexpr std::size_t kRowsPerThread = 16384;

int tier_of(char c) noexcept {
  return c >= 'A' && c <= 'D' ? c - 'A' : -1;
}
bool is_digit(char c) noexcept {
  return c >= '0' && c <= '9';
}

std::uint32_t text_key(const char* text) noexcept {
  std::uint32_t key;
  std::memcpy(&key, text, 4);
  return key;
}

}  // namespace

cmg290::Result group_one(std::string_view record, const GroupSettings& settings) noexcept {
  return settings.tierSet != nullptr ? cmg290::group(record, *settings.tierSet)
                                     : cmg290::group(record);
}

int cmg_key(const char* text) noexcept {
  const int tier = tier_of(text[0]);
  if (tier < 0) return kOddCmg;
  if (text[1] == '\0') return tier * 10001 + 10000;
  if (!is_digit(text[1]) || !is_digit(text[2]) || !is_digit(text[3]) || !is_digit(text[4]) ||
      text[5] != '\0') {
    return kOddCmg;
  }
  return tier * 10001 + (text[1] - '0') * 1000 + (text[2] - '0') * 100 + (text[3] - '0') * 10 +
         (text[4] - '0');
}

void fill_row(const cmg290::Result& r, const RowColumns& c, std::size_t row) noexcept {
  const bool grouped = cmg290::reaches_cmg_and_scores(r.status);
  c.status[row] = r.status;
  c.cmgKey[row] = grouped ? cmg_key(r.cmg) : kNoCmg;
  c.motorScore[row] = grouped ? motor_number(r.motorScore) : c.naReal;
  c.cognitiveScore[row] = grouped ? r.cognitiveScore : c.naInteger;
  c.age[row] = cmg290::reaches_age(r.status) ? r.age : c.naInteger;
  c.tableVersion[row] = text_key(r.tableVersion);
  c.grouperVersion[row] = text_key(r.grouperVersion);
}

void group_row(std::string_view record, const GroupSettings& settings, const RowColumns& c,
               std::size_t row) noexcept {
  const cmg290::Result r = group_one(record, settings);
  fill_row(r, c, row);
  if (c.editKeys != nullptr) {
    cmg290::Edits edits;
    find_record_edits(record, r, settings.tierSet, edits);
    c.editKeys[row] = edit_key(edits);
  }
}

void group_rows(const std::string_view* records, const unsigned char* unchecked, std::size_t count,
                const GroupSettings& settings, const RowColumns& columns, int threads,
                RowSink& sink) {
  const std::size_t batches = (count + kBatchRows - 1) / kBatchRows;
  std::unique_ptr<std::atomic<bool>[]> done(new std::atomic<bool>[batches]);
  for (std::size_t b = 0; b < batches; ++b) done[b].store(false, std::memory_order_relaxed);
  std::atomic<std::size_t> next{0};
  std::size_t handed = 0;  // batches given to the sink, by the calling thread only
  auto hand_over = [&](bool all) {
    while (handed < batches && (all || done[handed].load(std::memory_order_acquire))) {
      sink.rows(handed * kBatchRows, std::min(count, (handed + 1) * kBatchRows));
      ++handed;
    }
  };
  auto work = [&](bool calling) {
    for (;;) {
      const std::size_t batch = next.fetch_add(1, std::memory_order_relaxed);
      if (batch >= batches) return;
      const std::size_t begin = batch * kBatchRows;
      const std::size_t end = std::min(count, begin + kBatchRows);
      for (std::size_t i = begin; i < end; ++i) {
        if (unchecked[i] != 0 && has_high_byte(records[i])) {
          columns.cmgKey[i] = kUnsettled;
          continue;
        }
        group_row(records[i], settings, columns, i);
      }
      done[batch].store(true, std::memory_order_release);
      // The calling thread takes what is grouped between its own batches,
      // while the others go on.
      if (calling) hand_over(false);
    }
  };
  std::vector<std::thread> helpers;
  for (int t = 1; t < threads; ++t) {
    try {
      helpers.emplace_back(work, false);
    } catch (const std::system_error&) {
      break;  // fewer threads than asked for: the others share the work
    }
  }
  work(true);
  for (std::thread& h : helpers) h.join();
  hand_over(true);
}

int thread_count(int workers, std::size_t records) {
  return cli::useful_threads(workers, records);
}

}  // namespace cmg290::r
