// The routes of the HTTP server and what every request goes through first:
// route lookup, the method, the access token, the body's type and size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "access_token.h"
#include "cmg290/tier_set.h"
#include "http_message.h"
#include "metrics.h"
#include "request_options.h"

namespace cmg290::serve {

struct RouteContext {
  std::size_t maxBody;
  const AccessToken* token;
  Metrics* metrics;
  bool log;
  // The tier-table set loaded with --tier-tables, shared read-only by every
  // thread; null: the compiled-in lists.
  const TierSet* tierSet;
  std::string_view tablesJson;  // the answer of GET /v1/tables
};

Route route_of(std::string_view path);

// What to do with a request once its headers are in.
struct Plan {
  enum Kind {
    Answer,  // answer at once (after reading and dropping a body, if any)
    Single,  // read the body, up to --max-body, then answer_single()
    Batch,   // stream the batch
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

// Writes the request's log line and counts it: its status and the bytes of
// its answer's body that were sent.
void finish_request(const RouteContext& context, const Request& req, int status,
                    std::uint64_t bytes);

}  // namespace cmg290::serve
