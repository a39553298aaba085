// How many grouping threads a command runs: every core by default, at most
// kMaxThreads whatever is asked.
#pragma once

#include <algorithm>
#include <thread>

namespace cmg290::cli {

inline constexpr unsigned kMaxThreads = 64;

inline unsigned default_threads() {
  const unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : std::min(n, kMaxThreads);
}

}  // namespace cmg290::cli
