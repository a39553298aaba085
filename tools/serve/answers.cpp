#include "answers.h"

#include <charconv>
#include <memory>
#include <string>

#include "batch.h"

namespace cmg290::serve {

RequestState& request_state() {
  thread_local RequestState state;
  return state;
}

void answer_error(httplib::Response& res, int status, const BodyError& error) {
  res.status = status;
  res.set_content(error_json(error) + "\n", kJson);
}

// The request object is the server's own, not const: marking it
// "Connection: close" makes the answer say so, and a content provider that
// reports failure after writing the whole body makes the server close the
// connection.
void answer_and_close(const httplib::Request& req, httplib::Response& res, int status,
                      const BodyError& error) {
  auto& request = const_cast<httplib::Request&>(req);
  request.headers.erase("Connection");
  request.set_header("Connection", "close");
  res.status = status;
  auto body = std::make_shared<const std::string>(error_json(error) + "\n");
  res.set_content_provider(body->size(), kJson,
                           [body](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                             if (offset < body->size()) {
                               sink.write(body->data() + offset, body->size() - offset);
                               request_state().streamed += body->size() - offset;
                             }
                             return false;
                           });
}

void answer_error_after_body(const httplib::Request& req, httplib::Response& res,
                             const httplib::ContentReader* reader, int status,
                             const BodyError& error, std::size_t limit) {
  const long long announced = announced_length(req);
  bool whole = reader == nullptr;
  if (reader != nullptr && announced <= static_cast<long long>(limit)) {
    std::size_t dropped = 0;
    whole = (*reader)([&dropped, limit](const char*, std::size_t size) {
      dropped += size;
      return dropped <= limit;
    });
  }
  if (whole) return answer_error(res, status, error);
  answer_and_close(req, res, status, error);
}

long long announced_length(const httplib::Request& req) {
  if (!req.has_header("Content-Length")) return -1;
  const std::string text = req.get_header_value("Content-Length");
  long long value = -1;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

BodyError too_large(std::size_t limit) {
  return {"too_large", "the body is larger than " + std::to_string(limit) + " bytes", {}};
}

BodyError unsupported_type() {
  return {"unsupported_media_type",
          "send Content-Type text/plain, application/json or application/x-ndjson",
          {}};
}

}  // namespace cmg290::serve
