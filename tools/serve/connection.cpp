#include "connection.h"

#include <boost/asio/buffer.hpp>
#include <boost/asio/redirect_error.hpp>
#include <boost/asio/ssl/stream.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/ssl/ssl_stream.hpp>

#include <algorithm>
#include <array>
#include <limits>

#include "request_head.h"
#include "slots.h"

namespace cmg290::serve {

namespace http = beast::http;
using asio::awaitable;
using asio::redirect_error;
using asio::use_awaitable;
using Clock = std::chrono::steady_clock;
using TlsStream = beast::ssl_stream<beast::tcp_stream>;

namespace {

// The first read of a request.
constexpr std::size_t kFirstRead = 4096;
// What is read of a body at a time when it is dropped.
constexpr std::size_t kScratch = 16 * 1024;
// How long a closing connection waits for what the client still sends.
constexpr auto kLingerTime = std::chrono::seconds(2);
const std::string kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
// Room for a single call's body kept between requests.
constexpr std::size_t kKeptBody = 64 * 1024;

bool client_gone(const beast::error_code& ec) {
  return ec == http::error::end_of_stream || ec == asio::error::eof ||
         ec == asio::error::connection_reset || ec == asio::error::operation_aborted ||
         ec == asio::error::bad_descriptor || ec == beast::error::timeout ||
         ec == asio::ssl::error::stream_truncated;
}

}  // namespace

template <class Stream>
beast::tcp_stream& Connection<Stream>::tcp() {
  return beast::get_lowest_layer(stream_);
}

template <class Stream>
awaitable<void> Connection<Stream>::run() {
  for (;;) {
    link_.idle = true;
    request_done(link_);
    if (shared_.stopping) break;
    if (buffer_.size() == 0) {
      tcp().expires_after(shared_.idle);
      beast::error_code ec;
      Waiting waiting(link_);
      const std::size_t n = co_await stream_.async_read_some(buffer_.prepare(kFirstRead),
                                                             redirect_error(use_awaitable, ec));
      if (ec) break;
      buffer_.commit(n);
      received(link_, n);
    }
    link_.idle = false;
    if (!co_await serve_request()) break;
  }
  co_await close();
}

template <class Stream>
awaitable<bool> Connection<Stream>::serve_request() {
  Request req;
  req.start = Clock::now();
  req.remote = remote_;
  parser_.emplace();
  parser_->header_limit(kHeaderLimit);
  // Bounded while read, by route. (Not boost::none: Beast 1.74 then takes
  // every announced length for too large.)
  parser_->body_limit(std::numeric_limits<std::uint64_t>::max());
  tcp().expires_at(req.start + shared_.timeout);
  pace_.stop();
  beast::error_code ec;
  std::size_t headBytes = 0;
  {
    Waiting waiting(link_);
    headBytes = co_await http::async_read_header(stream_, buffer_, *parser_,
                                                 redirect_error(use_awaitable, ec));
  }
  // Beast holds the request line and the header lines each to the limit on
  // their own; the head as a whole is held to it here.
  if (!ec && headBytes > kHeaderLimit) ec = http::error::header_limit;
  // Until the headers are known good, the body's end is not known.
  chunked_ = false;
  bodyLeft_ = std::numeric_limits<std::uint64_t>::max();
  if (ec) {
    if (client_gone(ec)) co_return false;
    req.method = "-";
    tcp().expires_after(shared_.timeout);
    // (Built apart from the co_await: g++ 12 frees temporaries of a
    // conditional inside one twice.)
    Answer answer;
    if (ec == http::error::header_limit || ec == http::error::buffer_overflow) {
      answer = error_answer(
          431,
          {"headers_too_large",
           "the request line and headers exceed " + std::to_string(kHeaderLimit) + " bytes",
           {}},
          true);
    } else {
      answer = error_answer(400, {"bad_request", "not a well-formed HTTP request", {}}, true);
    }
    co_await send_answer(req, answer);
    co_return false;
  }
  if (std::optional<Answer> refusal = read_head(parser_->get().base(), req)) {
    req.route = route_of(req.path);
    co_await send_answer(req, *refusal);
    co_return false;
  }
  req.route = route_of(req.path);
  req.keepAlive = parser_->keep_alive();
  if (req.hasLength) req.length = parser_->content_length().value_or(0);
  chunked_ = req.chunked;
  bodyLeft_ = req.chunked ? 0 : req.length;

  Plan plan = plan_request(context(), req);
  if (plan.kind == Plan::Single) co_return co_await serve_single(req, plan);
  if (plan.kind == Plan::Batch || plan.kind == Plan::Report) {
    // A report's body keeps to a batch's pace (report_answer.cpp).
    pace_.start(shared_.minBodyRate, shared_.rateWindow);
    if (plan.kind == Plan::Report) co_return co_await serve_report(req, plan);
    co_return co_await serve_batch(req, plan);
  }

  Answer& answer = plan.answer;
  // A refused body is read and dropped, up to a limit, unless the answer
  // closes the connection or the client waits to be asked for it.
  if (req.has_body() && !answer.close) {
    if (req.expectContinue || !co_await drop_body(kDrainLimit)) answer.close = true;
  }
  if (shared_.stopping || !req.keepAlive) answer.close = true;
  const bool sent = co_await send_answer(req, answer);
  co_return sent && !answer.close;
}

template <class Stream>
awaitable<bool> Connection<Stream>::serve_single(Request& req, const Plan& plan) {
  const std::size_t limit = context().maxBody;
  if (req.expectContinue && !co_await write(kContinue)) co_return false;
  std::size_t got = 0;
  beast::error_code ec;
  for (;;) {
    if (scratch_.size() == got)
      scratch_.resize(std::min(limit + 1, std::max<std::size_t>(2 * got, 4096)));
    const std::size_t n = co_await read_body(scratch_.data() + got, scratch_.size() - got, ec);
    got += n;
    if (n == 0 || got > limit) break;
  }
  Answer answer;
  if (ec == beast::error::timeout || ec == asio::error::operation_aborted) {
    finish_request(context(), req, 408, 0);
    co_return false;
  }
  if (ec) {
    answer =
        error_answer(400, {"incomplete_body", "the body ended before its announced end", {}}, true);
  } else if (got > limit) {
    answer = error_answer(413, too_large(limit), true);
  } else {
    try {
      answer = answer_single(context(), std::string_view(scratch_.data(), got), plan.type,
                             plan.explain, plan.options);
    } catch (const std::exception&) {
      // The exception's text is not passed on: it might quote the body.
      answer = error_answer(500, {"internal_error", "the request could not be served", {}}, true);
    }
  }
  if (scratch_.capacity() > kKeptBody) std::string().swap(scratch_);
  if (shared_.stopping || !req.keepAlive) answer.close = true;
  const bool sent = co_await send_answer(req, answer);
  co_return sent && !answer.close;
}

// A batch's body reads keep to its pace (body_pace.h) besides --timeout; a
// read cut because the connection gave way to another counts as a stall.
template <class Stream>
awaitable<std::size_t> Connection<Stream>::read_body(char* data, std::size_t size,
                                                     beast::error_code& ec) {
  const auto start = Clock::now();
  if (pace_.active()) {
    const Clock::duration allowed = pace_.allowance();
    if (allowed <= Clock::duration::zero()) {
      ec = beast::error::timeout;
      co_return 0;
    }
    tcp().expires_after(std::min(shared_.timeout, allowed));
  }
  Waiting waiting(link_);
  const std::size_t n = co_await read_body_bytes(data, size, ec);
  pace_.account(Clock::now() - start, n);
  received(link_, n);
  if (ec && link_.givingWay) ec = beast::error::timeout;
  co_return n;
}

template <class Stream>
awaitable<std::size_t> Connection<Stream>::read_body_bytes(char* data, std::size_t size,
                                                           beast::error_code& ec) {
  if (!chunked_) {
    if (bodyLeft_ == 0) co_return 0;
    size = static_cast<std::size_t>(std::min<std::uint64_t>(size, bodyLeft_));
    std::size_t n = 0;
    if (buffer_.size() > 0) {
      n = asio::buffer_copy(asio::buffer(data, size), buffer_.data());
      buffer_.consume(n);
    } else {
      n = co_await stream_.async_read_some(asio::buffer(data, size),
                                           redirect_error(use_awaitable, ec));
      if (ec) co_return 0;
    }
    bodyLeft_ -= n;
    co_return n;
  }
  auto& body = parser_->get().body();
  body.data = data;
  body.size = size;
  while (body.size == size && !parser_->is_done()) {
    co_await http::async_read_some(stream_, buffer_, *parser_, redirect_error(use_awaitable, ec));
    if (ec == http::error::need_buffer) ec = {};
    if (ec) co_return 0;
  }
  co_return size - body.size;
}

template <class Stream>
awaitable<bool> Connection<Stream>::drop_body(std::size_t limit) {
  scratch_.resize(kScratch);
  std::size_t dropped = 0;
  beast::error_code ec;
  for (;;) {
    const std::size_t n = co_await read_body(scratch_.data(), scratch_.size(), ec);
    if (ec) co_return false;
    if (n == 0) co_return true;
    dropped += n;
    if (dropped > limit) co_return false;
  }
}

template <class Stream>
awaitable<bool> Connection<Stream>::write(const std::string& a, std::string_view b,
                                          std::string_view c) {
  const std::array<asio::const_buffer, 3> buffers = {
      asio::buffer(a), asio::buffer(b.data(), b.size()), asio::buffer(c.data(), c.size())};
  beast::error_code ec;
  co_await asio::async_write(stream_, buffers, redirect_error(use_awaitable, ec));
  lastError_ = ec;
  co_return !ec;
}

template <class Stream>
awaitable<bool> Connection<Stream>::send_answer(const Request& req, const Answer& answer) {
  const std::string_view body = answer.content();
  std::string head = answer_head(answer, body.size(), false);
  // An HTTP/1.0 client takes an answer without it for the last one.
  if (req.http10 && !answer.close) head.insert(head.size() - 2, "Connection: keep-alive\r\n");
  const bool sent = co_await write(head, req.head ? std::string_view() : body);
  finish_request(context(), req, answer.status, sent && !req.head ? body.size() : 0);
  // Bytes of the request may still be on their way when its body was not
  // read to its end.
  if (answer.close && !(chunked_ ? parser_->is_done() : bodyLeft_ == 0)) linger_ = true;
  co_return sent;
}

// Closes the connection. After an answer that closes it, what the client
// still sends is read for a while first: closing with unread bytes would
// reset the connection, and the client might lose the answer.
template <class Stream>
awaitable<void> Connection<Stream>::close() {
  beast::tcp_stream& t = tcp();
  beast::error_code ec;
  t.socket().shutdown(asio::ip::tcp::socket::shutdown_send, ec);
  if (linger_ && !ec && !shared_.cut) {
    t.expires_after(std::min<Clock::duration>(shared_.timeout, kLingerTime));
    scratch_.resize(kScratch);
    std::size_t read = 0;
    while (read < kDrainLimit) {
      read += co_await t.async_read_some(asio::buffer(scratch_), redirect_error(use_awaitable, ec));
      if (ec) break;
    }
  }
  t.close();
}

awaitable<void> serve_plain(asio::ip::tcp::socket socket, Shared& shared, Links& links,
                            std::string remote) {
  beast::tcp_stream stream(std::move(socket));
  Link link;
  link.close = [&stream] { stream.close(); };
  Registered registered(shared, links, link);
  Connection<beast::tcp_stream> connection(stream, shared, link, std::move(remote));
  try {
    co_await connection.run();
  } catch (const std::exception&) {
    // Out of memory, most likely: this connection ends, the server goes on.
  }
}

template class Connection<beast::tcp_stream>;
template class Connection<TlsStream>;

}  // namespace cmg290::serve
