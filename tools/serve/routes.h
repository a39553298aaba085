// The routes of the HTTP server and what every request goes through first:
// route lookup, the method, the access token, the body's type and size.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "access_token.h"
#include "http_message.h"
#include "metrics.h"
#include "request_options.h"

namespace cmg290::cli::report {
struct WeightsInUse;
}

namespace cmg290::serve {

class ServedTables;

struct RouteContext {
  std::size_t maxBody;
  const AccessToken* token;
  Metrics* metrics;
  bool log;
  // The tier-table set in use (read once per request: a reload may replace
  // it), and GET /v1/tables.
  const ServedTables* tables;
  // The weights of --weights for POST /v1/report, or null.
  const cli::report::WeightsInUse* weights = nullptr;
};

Route route_of(std::string_view path);

// What to do with a request once its headers are in.
struct Plan {
  enum Kind {
    Answer,  // answer at once (after reading and dropping a body, if any)
    Single,  // read the body, up to --max-body, then answer_single()
    Batch,   // stream the batch
    Report,  // count the body's records into a report (report_answer.cpp)
  } kind = Answer;
  serve::Answer answer;  // for Answer
  BodyType type = BodyType::Text;
  bool explain = false;
  RequestOptions options;  // from the query, for Single and Batch
};
Plan plan_request(const RouteContext& context, const Request& req);

// The answer to a single call or an explanation, from its whole body. A
// single call's answer carries the record's edits when `options` ask for
// them; an explanation carries them always.
Answer answer_single(const RouteContext& context, std::string_view body, BodyType type,
                     bool explain, const RequestOptions& options);

// "2026-12-08T07:56:12.213Z": a time as the server's log writes it (UTC).
std::string utc_time(std::chrono::system_clock::time_point time);

// Writes the request's log line and counts it: its status and the bytes of
// its answer's body that were sent.
void finish_request(const RouteContext& context, const Request& req, int status,
                    std::uint64_t bytes);

}  // namespace cmg290::serve
