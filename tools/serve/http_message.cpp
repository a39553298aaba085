#include "http_message.h"

#include "batch.h"

namespace cmg290::serve {

namespace {

const char* reason(int status) {
  switch (status) {
    case 100:
      return "Continue";
    case 200:
      return "OK";
    case 400:
      return "Bad Request";
    case 401:
      return "Unauthorized";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 408:
      return "Request Timeout";
    case 411:
      return "Length Required";
    case 413:
      return "Content Too Large";
    case 415:
      return "Unsupported Media Type";
    case 417:
      return "Expectation Failed";
    case 422:
      return "Unprocessable Content";
    case 426:
      return "Upgrade Required";
    case 431:
      return "Request Header Fields Too Large";
    case 503:
      return "Service Unavailable";
    default:
      return "Internal Server Error";
  }
}

}  // namespace

Answer error_answer(int status, const BodyError& error, bool close) {
  Answer a;
  a.status = status;
  a.contentType = kJson;
  a.body = error_json(error) + "\n";
  a.close = close;
  return a;
}

std::string answer_head(const Answer& answer, std::size_t length, bool chunked) {
  std::string head;
  head.reserve(256 + answer.headers.size());
  head += "HTTP/1.1 ";
  head += std::to_string(answer.status);
  head += ' ';
  head += reason(answer.status);
  head += "\r\nContent-Type: ";
  head += answer.contentType;
  if (chunked) {
    head += "\r\nTransfer-Encoding: chunked";
  } else {
    head += "\r\nContent-Length: ";
    head += std::to_string(length);
  }
  if (answer.cacheControl != nullptr) {
    head += "\r\nCache-Control: ";
    head += answer.cacheControl;
  }
  head += "\r\nX-Content-Type-Options: nosniff\r\nContent-Security-Policy: ";
  head += answer.policy;
  head += "\r\n";
  head += answer.headers;
  if (answer.close) head += "Connection: close\r\n";
  head += "\r\n";
  return head;
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
