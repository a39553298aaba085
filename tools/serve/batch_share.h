// The memory a batch may hold while it streams, and the budget that lets a
// few batches hold more. A batch reads its body and holds its results in
// small blocks unless it holds a share of a budget common to the server;
// with one its blocks grow to the large size. So a few fast batches stream
// at full speed, and any number of connections stay within a known bound.
#pragma once

#include <cstddef>

namespace cmg290::serve {

// Bytes of the body read at a time, and of results held before grouping
// pauses, without a share and at most with one.
inline constexpr std::size_t kSmallBlock = 2 * 1024;
inline constexpr std::size_t kLargeBlock = 256 * 1024;
// What a batch with large blocks may hold: two blocks of the body (one
// being grouped, one read ahead) and three of results (being grouped,
// waiting, being sent; each up to a block and one result line more).
inline constexpr std::size_t kLargeShare = 1536 * 1024;
// The budget the shares are taken from: the number of batches streaming
// with large blocks at once is this over kLargeShare.
inline constexpr std::size_t kShareBudget = 24 * 1024 * 1024;

// A share of the budget, held from take() until destroyed.
class LargeShare {
 public:
  LargeShare() = default;
  ~LargeShare();
  LargeShare(const LargeShare&) = delete;
  LargeShare& operator=(const LargeShare&) = delete;

  // Takes a share if the budget has one left; true when one is held.
  bool take();
  bool held() const { return held_; }

 private:
  bool held_ = false;
};

}  // namespace cmg290::serve
