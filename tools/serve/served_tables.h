// The tier-table set a running server groups with, and its reloads.
//
// The set in use is held as a shared pointer that each request reads once,
// under a lock taken for that copy only: a single call, an explanation or a
// whole batch groups with the set it started with, even when a reload
// replaces it meanwhile, and the old set goes once the last request holding
// it has ended. The grouping of each record takes no lock.
//
// SIGHUP asks for a reload: the set is read again from its directory, with
// the options it was started with, on a thread of its own, so that neither
// the event loops nor the signal wait are held up. Signals that come while
// a reload runs are answered by one more reload after it. A set that cannot
// be loaded leaves the one in use in place and is logged, one line per
// problem. The compiled-in lists have nothing to reload.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "cmg290/tier_set.h"
#include "shared/tier_set_options.h"

namespace cmg290::serve {

// A set as it is served: the set, what the routes group with, and its part
// of the answer of GET /v1/tables.
struct ServedSet {
  std::shared_ptr<const TierSet> set;
  // The loaded set, or null for the compiled-in lists (whose own path gives
  // today's answers byte for byte).
  const TierSet* loaded = nullptr;
  std::chrono::system_clock::time_point loadedAt;
  std::string json;  // the members of GET /v1/tables that describe the set
};

class ServedTables {
 public:
  // No directory: the compiled-in lists.
  explicit ServedTables(const cli::TierSetChoice& choice);
  ~ServedTables();
  ServedTables(const ServedTables&) = delete;
  ServedTables& operator=(const ServedTables&) = delete;

  // Loads the set before the server starts. On a fault writes the refusal
  // every subcommand writes (shared/tier_set_options.h) on standard error
  // and returns false.
  bool load_first();

  // Starts the thread that reloads (none for the compiled-in lists); to be
  // called with every signal blocked, which the thread inherits.
  void start();
  // Ends that thread, after the reload it may be running.
  void stop();

  // The set in use; read once per request.
  std::shared_ptr<const ServedSet> current() const;

  // SIGHUP: a reload, or a logged note for the compiled-in lists. Returns at
  // once; requests that come while one is pending or running are merged.
  void request_reload();

  // The answer of GET /v1/tables: the set in use and the reloads.
  std::string tables_json() const;
  // The set in use and the reloads in the Prometheus text format.
  std::string metrics_text() const;

 private:
  struct Snapshot {
    std::shared_ptr<const ServedSet> set;
    std::uint64_t succeeded, failed;
    std::chrono::system_clock::time_point last;
    bool lastSucceeded;
  };
  // The set in use and the reloads, read together.
  Snapshot snapshot() const;
  // The reloading thread: a reload each time one was asked for.
  void run();
  // Reloads on the calling thread. True when the new set is in use.
  bool reload();

  const cli::TierSetChoice choice_;

  mutable std::mutex mutex_;  // guards the members up to waitMutex_
  std::shared_ptr<const ServedSet> current_;
  std::uint64_t succeeded_ = 0;
  std::uint64_t failed_ = 0;
  std::chrono::system_clock::time_point lastReload_{};  // epoch: none yet
  bool lastSucceeded_ = true;

  std::mutex waitMutex_;  // guards pending_ and quit_
  std::condition_variable wake_;
  bool pending_ = false;
  bool quit_ = false;
  std::thread thread_;
};

}  // namespace cmg290::serve
