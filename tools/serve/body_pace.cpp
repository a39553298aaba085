#include "body_pace.h"

#include <algorithm>

namespace cmg290::serve {

using Clock = std::chrono::steady_clock;

void BodyPace::start(double rate, Clock::duration window) {
  rate_ = rate;
  window_ = std::chrono::duration<double>(window).count();
  credit_ = window_;
}

Clock::duration BodyPace::allowance() const {
  if (!active()) return Clock::duration::max();
  return std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(std::max(0.0, credit_)));
}

void BodyPace::account(Clock::duration waited, std::size_t bytes) {
  if (!active()) return;
  credit_ = std::min(window_, credit_ - std::chrono::duration<double>(waited).count() +
                                  static_cast<double>(bytes) / rate_);
}

}  // namespace cmg290::serve
