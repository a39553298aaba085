// The minimum rate a batch body keeps up.
#pragma once

#include <chrono>
#include <cstddef>

namespace cmg290::serve {

// The minimum rate of a batch body: the time spent waiting for its bytes is
// paid from a credit that starts at `window` seconds, earns 1 s for every
// `rate` bytes, and is never more than `window`. Once the credit is spent
// the body has stalled (as when a read passes --timeout). A client below
// the rate for longer than the window is cut; one that keeps up never is,
// however long its batch.
class BodyPace {
 public:
  // Starts a body; a rate of 0 leaves it unpaced.
  void start(double rate, std::chrono::steady_clock::duration window);
  void stop() { rate_ = 0; }
  bool active() const { return rate_ > 0; }
  // How long the next read may wait (zero when the credit is spent).
  std::chrono::steady_clock::duration allowance() const;
  // A read that waited `waited` and brought `bytes`.
  void account(std::chrono::steady_clock::duration waited, std::size_t bytes);

 private:
  double rate_ = 0;
  double window_ = 0;  // seconds
  double credit_ = 0;  // seconds
};

}  // namespace cmg290::serve
