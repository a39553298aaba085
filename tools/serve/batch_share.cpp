#include "batch_share.h"

#include <atomic>

namespace cmg290::serve {

namespace {

// Bytes of the budget given out, by every connection's thread.
std::atomic<std::size_t> lent{0};

}  // namespace

bool LargeShare::take() {
  if (held_) return true;
  if (lent.fetch_add(kLargeShare) + kLargeShare > kShareBudget) {
    lent.fetch_sub(kLargeShare);
    return false;
  }
  held_ = true;
  return true;
}

LargeShare::~LargeShare() {
  if (held_) lent.fetch_sub(kLargeShare);
}

}  // namespace cmg290::serve
