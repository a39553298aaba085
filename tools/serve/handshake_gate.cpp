#include "handshake_gate.h"

#include <boost/asio/redirect_error.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>

#include <algorithm>

namespace cmg290::serve {

namespace asio = boost::asio;

HandshakeGate::Waiter::~Waiter() {
  auto& waiting = gate.waiting_;
  const auto it = std::find(waiting.begin(), waiting.end(), this);
  if (it != waiting.end()) waiting.erase(it);
}

asio::awaitable<bool> HandshakeGate::acquire(std::chrono::steady_clock::time_point deadline) {
  if (free_ > 0 && waiting_.empty()) {
    --free_;
    co_return true;
  }
  asio::steady_timer timer(co_await asio::this_coro::executor, deadline);
  Waiter waiter(*this, timer);
  waiting_.push_back(&waiter);
  boost::system::error_code ec;
  co_await timer.async_wait(asio::redirect_error(asio::use_awaitable, ec));
  // Granted by release() (which cancels the wait), or out of time.
  co_return waiter.granted;
}

void HandshakeGate::release() {
  if (waiting_.empty()) {
    ++free_;
    return;
  }
  Waiter* next = waiting_.front();
  waiting_.pop_front();
  next->granted = true;
  next->timer.cancel();
}

}  // namespace cmg290::serve
