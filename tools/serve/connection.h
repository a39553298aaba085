// One client connection, served as a coroutine on one of the server's I/O
// threads: requests are read one after another from a buffer kept across
// them (so pipelined requests are answered in order), each within its
// deadlines; an idle kept-alive connection is only a waiting read. Batches
// are grouped on the worker threads, a block at a time, while the next block
// is read.
#pragma once

#include <utility>  // before Asio 1.74's awaitable.hpp, which uses std::exchange without it

#include <boost/asio/awaitable.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/buffer_body.hpp>
#include <boost/beast/http/parser.hpp>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <unordered_set>

#include "body_pace.h"
#include "http_message.h"
#include "routes.h"

namespace cmg290::serve {

namespace asio = boost::asio;
namespace beast = boost::beast;

// What every connection shares.
struct Shared {
  const RouteContext* routes = nullptr;
  asio::thread_pool* workers = nullptr;
  std::chrono::steady_clock::duration
      timeout{};                               // a request's deadline; a batch's per read or write
  std::chrono::steady_clock::duration idle{};  // a kept-alive connection's wait for a request
  std::atomic<bool> stopping{false};           // answer what is in flight, take nothing new
  std::atomic<bool> cut{false};                // the grace period is over
  std::atomic<int> connections{0};
  std::atomic<int> givingWay{0};   // connections closed to make room, not yet ended (slots.h)
  std::atomic<unsigned> ended{0};  // connections ended so far (memory_trim.h)
  double minBodyRate = 0;          // bytes per second a batch body keeps up (slots.h)
  std::chrono::steady_clock::duration rateWindow{};
  std::chrono::steady_clock::duration handshakeTimeout{};  // TLS: from accept to handshake done
};

// A connection as the stopping server sees it. Touched only on the
// connection's own I/O thread.
struct Link {
  std::function<void()> close;
  bool idle = true;      // waiting for a request
  bool waiting = false;  // for its client's bytes
  // Its last progress: its start, a request's end, or the last of every
  // kProgressBytes bytes received (slots.h).
  std::chrono::steady_clock::time_point progressAt = std::chrono::steady_clock::now();
  std::size_t sinceProgress = 0;
  bool givingWay = false;  // closed to make room for a new connection
};
using Links = std::unordered_set<Link*>;

asio::awaitable<void> serve_plain(asio::ip::tcp::socket socket, Shared& shared, Links& links,
                                  std::string remote);
class HandshakeGate;
asio::awaitable<void> serve_tls(asio::ip::tcp::socket socket, asio::ssl::context& tls,
                                Shared& shared, Links& links, HandshakeGate& gate,
                                std::string remote);

template <class Stream>
class Connection {
 public:
  Connection(Stream& stream, Shared& shared, Link& link, std::string remote)
      : stream_(stream), shared_(shared), link_(link), remote_(std::move(remote)) {}

  asio::awaitable<void> run();

 private:
  beast::tcp_stream& tcp();
  const RouteContext& context() const { return *shared_.routes; }

  // One request and its answer; false when the connection is to end.
  asio::awaitable<bool> serve_request();
  asio::awaitable<bool> serve_single(Request& req, const Plan& plan);
  asio::awaitable<bool> serve_batch(Request& req, const Plan& plan);
  asio::awaitable<bool> serve_report(Request& req, const Plan& plan);  // report_answer.cpp

  // Up to `size` bytes of the body; 0 at its end, or with `ec` set.
  asio::awaitable<std::size_t> read_body(char* data, std::size_t size, beast::error_code& ec);
  asio::awaitable<std::size_t> read_body_bytes(char* data, std::size_t size, beast::error_code& ec);
  // Reads and drops the body; false when it was longer than `limit`, or
  // could not be read.
  asio::awaitable<bool> drop_body(std::size_t limit);
  asio::awaitable<bool> write(const std::string& a, std::string_view b = {},
                              std::string_view c = {});
  // Writes the answer, logs and counts it. False when it could not be sent.
  asio::awaitable<bool> send_answer(const Request& req, const Answer& answer);
  asio::awaitable<void> close();

  Stream& stream_;
  Shared& shared_;
  Link& link_;
  std::string remote_;
  beast::flat_buffer buffer_{kHeaderLimit + 4096};
  std::optional<beast::http::request_parser<beast::http::buffer_body>> parser_;
  bool chunked_ = false;
  std::uint64_t bodyLeft_ = 0;   // of a body with a Content-Length
  std::string scratch_;          // a single call's body, or bytes dropped
  beast::error_code lastError_;  // of the last write
  bool linger_ = false;          // read what the client still sends before closing
  BodyPace pace_;                // a batch body's minimum rate
};

}  // namespace cmg290::serve
