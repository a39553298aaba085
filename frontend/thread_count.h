// How many threads to group `records` records with: `workers` (-1: every
// core this process may run on), but no more than one per kRowsPerThread
// records and at least one.
#pragma once

#include <sched.h>

#include <algorithm>
#include <cstddef>
#include <thread>

namespace cmg290::cli {

inline constexpr std::size_t kRowsPerThread = 16384;

inline int useful_threads(int workers, std::size_t records) {
  int threads = workers;
  if (workers == -1) {
    cpu_set_t set;
    threads = sched_getaffinity(0, sizeof set, &set) == 0
                  ? CPU_COUNT(&set)
                  : static_cast<int>(std::thread::hardware_concurrency());
  }
  const std::size_t useful = std::max<std::size_t>(1, records / kRowsPerThread);
  return static_cast<int>(std::clamp<std::size_t>(static_cast<std::size_t>(threads), 1, useful));
}

}  // namespace cmg290::cli
