#include "metrics.h"

#include <cinttypes>
#include <cstdio>

namespace cmg290::serve {

std::string_view route_name(Route route) {
  switch (route) {
    case Route::Page:
      return "/";
    case Route::Group:
      return "/v1/group";
    case Route::Batch:
      return "/v1/group/batch";
    case Route::Explain:
      return "/v1/explain";
    case Route::Layout:
      return "/v1/layout";
    case Route::Tables:
      return "/v1/tables";
    case Route::OpenApi:
      return "/v1/openapi.json";
    case Route::Health:
      return "/healthz";
    case Route::Metrics:
      return "/metrics";
    case Route::Report:
      return "/v1/report";
    case Route::Other:
      break;
  }
  return "other";
}

void Metrics::count_request(Route route, int status, std::uint64_t microseconds) {
  PerRoute& r = routes_[static_cast<std::size_t>(route)];
  std::size_t s = kStatuses.size() - 1;
  for (std::size_t i = 0; i + 1 < kStatuses.size(); ++i) {
    if (kStatuses[i] == status) s = i;
  }
  r.byStatus[s].fetch_add(1, std::memory_order_relaxed);
  for (std::size_t b = 0; b < kBuckets.size(); ++b) {
    if (microseconds <= kBuckets[b]) {
      r.buckets[b].fetch_add(1, std::memory_order_relaxed);
      break;
    }
  }
  r.microseconds.fetch_add(microseconds, std::memory_order_relaxed);
  r.count.fetch_add(1, std::memory_order_relaxed);
}

std::string Metrics::text() const {
  std::string out;
  char line[256];
  auto add = [&](const char* format, auto... args) {
    const int n = std::snprintf(line, sizeof line, format, args...);
    if (n > 0) out.append(line, static_cast<std::size_t>(n) < sizeof line ? n : sizeof line - 1);
  };

  out += "# HELP cmg290_http_requests_total Requests answered, by route and status code.\n";
  out += "# TYPE cmg290_http_requests_total counter\n";
  for (std::size_t i = 0; i < kRouteCount; ++i) {
    const std::string name(route_name(static_cast<Route>(i)));
    for (std::size_t s = 0; s < kStatuses.size(); ++s) {
      const std::uint64_t n = routes_[i].byStatus[s].load(std::memory_order_relaxed);
      if (n == 0) continue;
      const std::string code = kStatuses[s] == 0 ? "other" : std::to_string(kStatuses[s]);
      add("cmg290_http_requests_total{route=\"%s\",code=\"%s\"} %" PRIu64 "\n", name.c_str(),
          code.c_str(), n);
    }
  }

  out += "# HELP cmg290_records_grouped_total Records grouped, by single and batch calls.\n";
  out += "# TYPE cmg290_records_grouped_total counter\n";
  add("cmg290_records_grouped_total %" PRIu64 "\n", records_.load(std::memory_order_relaxed));

  out +=
      "# HELP cmg290_http_request_duration_seconds Time from a request's headers to the end "
      "of its answer.\n";
  out += "# TYPE cmg290_http_request_duration_seconds histogram\n";
  for (std::size_t i = 0; i < kRouteCount; ++i) {
    const PerRoute& r = routes_[i];
    std::uint64_t count = r.count.load(std::memory_order_relaxed);
    if (count == 0) continue;
    const std::string name(route_name(static_cast<Route>(i)));
    std::uint64_t cumulative = 0;
    for (std::size_t b = 0; b < kBuckets.size(); ++b) {
      cumulative += r.buckets[b].load(std::memory_order_relaxed);
      add("cmg290_http_request_duration_seconds_bucket{route=\"%s\",le=\"%g\"} %" PRIu64 "\n",
          name.c_str(), static_cast<double>(kBuckets[b]) / 1e6, cumulative);
    }
    // Counted one after the other without a lock: a request in the middle
    // of being counted may be in a bucket already and not yet in the count.
    if (cumulative > count) count = cumulative;
    add("cmg290_http_request_duration_seconds_bucket{route=\"%s\",le=\"+Inf\"} %" PRIu64 "\n",
        name.c_str(), count);
    add("cmg290_http_request_duration_seconds_sum{route=\"%s\"} %.6f\n", name.c_str(),
        static_cast<double>(r.microseconds.load(std::memory_order_relaxed)) / 1e6);
    add("cmg290_http_request_duration_seconds_count{route=\"%s\"} %" PRIu64 "\n", name.c_str(),
        count);
  }
  return out;
}

}  // namespace cmg290::serve
