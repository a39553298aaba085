// A TLS connection: its handshake, bounded in time and in how many run at
// once, then its requests as on a plain connection. Until the client's first
// bytes arrive and a handshake slot is free, the connection holds only its
// socket: no TLS state, which is what most of a TLS connection's memory is.
#include <boost/asio/redirect_error.hpp>
#include <boost/asio/ssl/stream.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/beast/ssl/ssl_stream.hpp>

#include <memory>
#include <optional>

#include "connection.h"
#include "handshake_gate.h"
#include "slots.h"

namespace cmg290::serve {

using asio::awaitable;
using asio::redirect_error;
using asio::use_awaitable;
using TlsStream = beast::ssl_stream<beast::tcp_stream>;

namespace {

// Closes the connection when its handshake deadline passes, unless called
// off first (the timer's handler may run after the connection has ended).
class Deadline {
 public:
  Deadline(const asio::any_io_executor& executor, std::chrono::steady_clock::time_point at,
           Link& link)
      : timer_(executor, at), live_(std::make_shared<bool>(true)) {
    timer_.async_wait([live = live_, &link](const beast::error_code& ec) {
      if (!ec && *live) link.close();
    });
  }
  ~Deadline() { off(); }
  Deadline(const Deadline&) = delete;
  Deadline& operator=(const Deadline&) = delete;
  void off() {
    *live_ = false;
    timer_.cancel();
  }

 private:
  asio::steady_timer timer_;
  std::shared_ptr<bool> live_;
};

}  // namespace

awaitable<void> serve_tls(asio::ip::tcp::socket socket, asio::ssl::context& tls, Shared& shared,
                          Links& links, HandshakeGate& gate, std::string remote) {
  std::optional<TlsStream> stream;
  Link link;
  link.close = [&socket, &stream] {
    beast::error_code ignored;
    if (stream) {
      beast::get_lowest_layer(*stream).close();
    } else {
      socket.close(ignored);
    }
  };
  Registered registered(shared, links, link);
  link.idle = false;
  const auto deadlineAt = std::chrono::steady_clock::now() + shared.handshakeTimeout;
  Deadline deadline(socket.get_executor(), deadlineAt, link);
  beast::error_code ec;
  {
    Waiting waiting(link);
    co_await socket.async_wait(asio::ip::tcp::socket::wait_read, redirect_error(use_awaitable, ec));
  }
  if (ec || !socket.is_open()) co_return;
  const bool admitted = co_await gate.acquire(deadlineAt);
  if (!admitted) co_return;
  HandshakeSlot slot(gate);
  if (!socket.is_open()) co_return;
  // The handshake gets its own time once admitted: waiting behind stalled
  // handshakes is not held against it.
  deadline.off();
  stream.emplace(std::move(socket), tls);
  beast::get_lowest_layer(*stream).expires_after(shared.handshakeTimeout);
  {
    Waiting waiting(link);
    co_await stream->async_handshake(asio::ssl::stream_base::server,
                                     redirect_error(use_awaitable, ec));
  }
  slot.give_back();
  if (ec) {
    beast::get_lowest_layer(*stream).close();
    co_return;
  }
  Connection<TlsStream> connection(*stream, shared, link, std::move(remote));
  try {
    co_await connection.run();
  } catch (const std::exception&) {
    // Out of memory, most likely: this connection ends, the server goes on.
  }
}

}  // namespace cmg290::serve
