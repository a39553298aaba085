#include "memory_trim.h"

#include <malloc.h>

#include <boost/asio/redirect_error.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>

namespace cmg290::serve {

boost::asio::awaitable<void> trim_after_bursts(const Shared& shared) {
  namespace asio = boost::asio;
  asio::steady_timer tick(co_await asio::this_coro::executor);
  unsigned trimmedAt = 0;  // connections ended at the last trim
  while (!shared.stopping) {
    const unsigned ended = shared.ended.load();
    if (ended - trimmedAt >= kTrimAfter) {
      malloc_trim(0);
      trimmedAt = ended;
    }
    tick.expires_after(std::chrono::seconds(1));
    boost::system::error_code ec;
    co_await tick.async_wait(asio::redirect_error(asio::use_awaitable, ec));
  }
}

}  // namespace cmg290::serve
