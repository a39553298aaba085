// A request as the routes see it once its headers are in, and the text of
// an answer's head. The connection code reads and writes the bytes.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "metrics.h"
#include "request_body.h"

namespace cmg290::serve {

inline constexpr const char* kJson = "application/json";
inline constexpr const char* kJsonLines = "application/x-ndjson";

// Bytes of a request's head: its request line, its header lines and the
// empty line that ends them, each with its CRLF.
inline constexpr std::size_t kHeaderLimit = 16 * 1024;
// A refused request's body is still read, up to this many bytes, so that a
// client sending its whole body before reading gets the answer.
inline constexpr std::size_t kDrainLimit = 1 << 20;

struct Request {
  std::string method;  // as sent (checked to be a token by the parser)
  std::string path;    // the target without its query
  std::string query;   // what follows the target's first '?', as sent
  Route route = Route::Other;
  bool head = false;
  bool keepAlive = true;
  bool http10 = false;  // an HTTP/1.0 request, kept alive only when it asks
  bool chunked = false;
  bool hasLength = false;
  bool expectContinue = false;  // the client waits for 100 Continue before its body
  std::uint64_t length = 0;     // the Content-Length, when given
  std::string contentType;
  std::string authorization;
  std::string remote;  // the client's address
  std::chrono::steady_clock::time_point start;

  bool has_body() const { return chunked || length > 0; }
};

// An answer with its whole body at hand.
struct Answer {
  int status = 200;
  std::string contentType;
  std::string body;
  std::string_view fixedBody;  // instead of `body`, for files built in
  std::string headers;         // further header lines, each ending in CRLF
  const char* cacheControl = "no-store";
  bool close = false;  // close the connection after it

  std::string_view content() const { return fixedBody.empty() ? body : fixedBody; }
};

// An error answer: {"error": ..., "code": ..., "field": ...}.
Answer error_answer(int status, const BodyError& error, bool close = false);

// The status line and headers of an answer with a body of `length` bytes,
// or of a chunked one when `chunked`.
std::string answer_head(const Answer& answer, std::size_t length, bool chunked);

BodyError too_large(std::size_t limit);
BodyError unsupported_type();

}  // namespace cmg290::serve
