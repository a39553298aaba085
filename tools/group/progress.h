// The progress line of `cmg290 group` on standard error.
#pragma once

#include <chrono>
#include <cstdint>

namespace cmg290::cli::batch {

using Clock = std::chrono::steady_clock;

// The progress line on standard error, for runs long enough to need one.
class Progress {
 public:
  Progress(bool enabled, std::uint64_t totalBytes, Clock::time_point start)
      : enabled_(enabled), totalBytes_(totalBytes), start_(start), last_(start) {}

  void update(std::uint64_t bytes, std::uint64_t records);

  // Removes the progress line before other text goes to standard error.
  void clear();

 private:
  bool enabled_;
  std::uint64_t totalBytes_;
  Clock::time_point start_, last_;
  bool shown_ = false;
};

}  // namespace cmg290::cli::batch
