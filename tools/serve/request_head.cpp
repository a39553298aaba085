#include "request_head.h"

#include <boost/beast/core/string.hpp>

#include <algorithm>

namespace cmg290::serve {

namespace http = boost::beast::http;

namespace {

std::string_view trimmed(boost::beast::string_view value) {
  std::string_view s(value.data(), value.size());
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

boost::beast::string_view to_beast(std::string_view s) {
  return {s.data(), s.size()};
}

Answer refuse(int status, const char* code, std::string message) {
  return error_answer(status, {code, std::move(message), {}}, true);
}

bool all_digits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::optional<Answer> read_head(const http::request_header<>& head, Request& req) {
  req.method = std::string(head.method_string().data(), head.method_string().size());
  const std::string_view target(head.target().data(), head.target().size());
  const std::size_t mark = target.find('?');
  req.path = std::string(target.substr(0, mark));
  if (mark != std::string_view::npos) req.query = std::string(target.substr(mark + 1));
  req.head = head.method() == http::verb::head;
  req.http10 = head.version() < 11;

  if (head.version() >= 11 && head.count(http::field::host) != 1) {
    return refuse(400, "bad_request", "an HTTP/1.1 request needs exactly one Host header");
  }
  if (head.version() < 11 && head.count(http::field::host) > 1) {
    return refuse(400, "bad_request", "more than one Host header");
  }
  // The parser takes repeated equal lengths and lists of them; they are
  // refused here, as is anything but digits.
  const auto lengths = head.equal_range(http::field::content_length);
  if (lengths.first != lengths.second) {
    if (std::next(lengths.first) != lengths.second ||
        !all_digits(trimmed(lengths.first->value()))) {
      return refuse(400, "bad_request", "Content-Length must be given once, as a decimal number");
    }
    req.hasLength = true;
  }
  const auto codings = head.equal_range(http::field::transfer_encoding);
  // HTTP/1.0 has no transfer codings: a sender that adds one anyway frames
  // its body in a way no 1.0 hop can be trusted to have kept.
  if (codings.first != codings.second && head.version() < 11) {
    return refuse(400, "bad_request", "Transfer-Encoding in an HTTP/1.0 request");
  }
  if (codings.first != codings.second) {
    if (std::next(codings.first) != codings.second ||
        !boost::beast::iequals(to_beast(trimmed(codings.first->value())), "chunked")) {
      return refuse(400, "bad_request", "the only Transfer-Encoding taken is chunked");
    }
    if (req.hasLength) {
      return refuse(400, "bad_request", "Transfer-Encoding and Content-Length together");
    }
    req.chunked = true;
  }
  const auto encodings = head.equal_range(http::field::content_encoding);
  for (auto it = encodings.first; it != encodings.second; ++it) {
    if (!boost::beast::iequals(to_beast(trimmed(it->value())), "identity")) {
      return refuse(415, "unsupported_encoding",
                    "bodies are taken as they are: send them without a Content-Encoding");
    }
  }
  if (head.count(http::field::content_type) > 1) {
    return refuse(400, "bad_request", "more than one Content-Type header");
  }
  if (head.count(http::field::authorization) > 1) {
    return refuse(400, "bad_request", "more than one Authorization header");
  }
  const auto expect = head.equal_range(http::field::expect);
  if (expect.first != expect.second) {
    if (std::next(expect.first) != expect.second ||
        !boost::beast::iequals(to_beast(trimmed(expect.first->value())), "100-continue")) {
      return refuse(417, "expectation_failed", "the only Expect taken is 100-continue");
    }
    // An HTTP/1.0 client cannot read an interim answer: it sends its body
    // without waiting, and gets the final answer only.
    req.expectContinue = head.version() >= 11;
  }
  if (head.method() == http::verb::post && !req.hasLength && !req.chunked) {
    return refuse(411, "length_required", "a POST needs a Content-Length or a chunked body");
  }
  const auto text = [&head](http::field f) {
    const boost::beast::string_view v = head[f];
    return std::string(v.data(), v.size());
  };
  req.contentType = text(http::field::content_type);
  req.authorization = text(http::field::authorization);
  return std::nullopt;
}

}  // namespace cmg290::serve
