// Pieces every route answers with: the state of the request being served,
// error answers, and reading what is left of a body that will not be used.
#pragma once

#include <httplib.h>

#include <chrono>
#include <cstddef>
#include <cstdint>

#include "metrics.h"
#include "request_body.h"

namespace cmg290::serve {

inline constexpr const char* kJson = "application/json";
inline constexpr const char* kJsonLines = "application/x-ndjson";

// What the request log and the metrics need of the request being served.
// A worker thread serves one request at a time, so there is one per thread.
struct RequestState {
  bool active = false;
  Route route = Route::Other;
  std::chrono::steady_clock::time_point start;
  std::uint64_t streamed = 0;  // bytes of an answer written as it goes
  int sentStatus = 0;          // the status sent, when the server changed it afterwards
  int refusal = 0;             // a POST to be refused once its body is read (401, 404, 405)
};
RequestState& request_state();

// An error answer: {"error": ..., "code": ..., "field": ...}.
void answer_error(httplib::Response& res, int status, const BodyError& error);

// An error answer after which the connection is closed, for when (the rest
// of) the body is not read: it could not be told from a next request.
void answer_and_close(const httplib::Request& req, httplib::Response& res, int status,
                      const BodyError& error);

// Reads and drops the rest of a body, at most `limit` bytes more, then
// answers with the error: on the same connection when the whole body was
// read, else closing it. Clients that send their whole body before reading
// the answer get it then instead of a broken connection.
void answer_error_after_body(const httplib::Request& req, httplib::Response& res,
                             const httplib::ContentReader* reader, int status,
                             const BodyError& error, std::size_t limit);

// Bodies this much larger than allowed are still read to give their
// answer; beyond it the connection is closed at once.
inline constexpr std::size_t kDrainLimit = 1 << 20;

// The Content-Length a request announces, or -1 when it gives none.
long long announced_length(const httplib::Request& req);

BodyError too_large(std::size_t limit);
BodyError unsupported_type();

}  // namespace cmg290::serve
