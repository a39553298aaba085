#include "batch/run_parts.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

namespace cmg290::batch {

void run_parts(std::size_t parts, int threads, PartWork& work, RowSink* sink) {
  const auto count = static_cast<std::size_t>(std::max(threads, 1));
  std::unique_ptr<std::atomic<bool>[]> done(new std::atomic<bool>[std::max<std::size_t>(parts, 1)]);
  for (std::size_t p = 0; p < parts; ++p) done[p].store(false, std::memory_order_relaxed);
  std::vector<std::thread> helpers;
  helpers.reserve(count - 1);

  std::atomic<std::size_t> next{0};
  std::size_t handed = 0;  // parts given to the sink, by the calling thread only
  std::size_t handedRows = 0;
  auto hand_over = [&](bool all) {
    while (handed < parts && (all || done[handed].load(std::memory_order_acquire))) {
      const std::size_t end = work.rows_end(handed);
      if (end > handedRows) sink->rows(handedRows, end);
      handedRows = std::max(handedRows, end);
      ++handed;
    }
  };
  auto take = [&](std::size_t thread) noexcept {
    for (;;) {
      const std::size_t part = next.fetch_add(1, std::memory_order_relaxed);
      if (part >= parts) return;
      work.run(part, thread);
      done[part].store(true, std::memory_order_release);
      // The calling thread takes what is done between its own parts, while
      // the others go on.
      if (thread == 0 && sink != nullptr) hand_over(false);
    }
  };
  for (std::size_t t = 1; t < count; ++t) {
    try {
      helpers.emplace_back(take, t);
    } catch (const std::system_error&) {
      break;  // fewer threads than asked for: the others share the work
    }
  }
  take(0);
  for (std::thread& h : helpers) h.join();
  if (sink != nullptr) hand_over(true);
}

}  // namespace cmg290::batch
