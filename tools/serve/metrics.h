// Counters of the server in the Prometheus text format: requests by route
// and status code, records grouped, and a latency histogram per route. Only
// routes and codes are counted, never anything a request held. Counting
// takes no lock.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace cmg290::serve {

enum class Route : int {
  Page,     // "/" and the page's own files
  Group,    // POST /v1/group
  Batch,    // POST /v1/group/batch
  Explain,  // POST /v1/explain
  Layout,   // GET /v1/layout
  Tables,   // GET /v1/tables
  OpenApi,  // GET /v1/openapi.json
  Health,   // GET /healthz
  Metrics,  // GET /metrics
  Report,   // POST /v1/report
  Other,    // any other path
};
inline constexpr std::size_t kRouteCount = 11;

// The route's name in metrics and the request log, e.g. "/v1/group"; Other
// is "other", so that no path a client made up is ever written.
std::string_view route_name(Route route);

class Metrics {
 public:
  // One finished request: its answer's status code and how long it took.
  void count_request(Route route, int status, std::uint64_t microseconds);
  void count_records(std::uint64_t n) { records_.fetch_add(n, std::memory_order_relaxed); }

  // Everything, in the Prometheus text exposition format.
  std::string text() const;

 private:
  // Codes the server answers with, and those a cut batch is counted with
  // (408, 499, 503); any other one is counted as "other".
  static constexpr std::array<int, 15> kStatuses = {200, 400, 401, 404, 405, 408, 411, 413,
                                                    415, 417, 431, 499, 500, 503, 0};
  // Upper bounds of the latency buckets, in microseconds.
  static constexpr std::array<std::uint64_t, 14> kBuckets = {
      100,   250,   500,    1000,   2500,    5000,    10000,
      25000, 50000, 100000, 250000, 1000000, 5000000, 30000000};

  struct PerRoute {
    std::array<std::atomic<std::uint64_t>, kStatuses.size()> byStatus{};
    std::array<std::atomic<std::uint64_t>, kBuckets.size()> buckets{};  // not cumulative
    std::atomic<std::uint64_t> microseconds{0};
    std::atomic<std::uint64_t> count{0};
  };

  std::array<PerRoute, kRouteCount> routes_{};
  std::atomic<std::uint64_t> records_{0};
};

}  // namespace cmg290::serve
