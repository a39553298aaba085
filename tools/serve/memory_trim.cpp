#include "memory_trim.h"

#include <malloc.h>

#include <boost/asio/redirect_error.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>

#include <algorithm>

namespace cmg290::serve {

boost::asio::awaitable<void> trim_after_bursts(const Shared& shared) {
  namespace asio = boost::asio;
  asio::steady_timer tick(co_await asio::this_coro::executor);
  int highest = 0;
  while (!shared.stopping) {
    const int now = shared.connections.load();
    highest = std::max(highest, now);
    if (highest - now >= kTrimAfter) {
      malloc_trim(0);
      highest = now;
    }
    tick.expires_after(std::chrono::seconds(1));
    boost::system::error_code ec;
    co_await tick.async_wait(asio::redirect_error(asio::use_awaitable, ec));
  }
}

}  // namespace cmg290::serve
