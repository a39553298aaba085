// Memory given back to the system after a burst of connections.
#pragma once

#include <utility>  // before Asio 1.74's awaitable.hpp, which uses std::exchange without it

#include <boost/asio/awaitable.hpp>

#include "connection.h"

namespace cmg290::serve {

// The allocator keeps what connections freed for reuse, spread over the
// arenas of the I/O threads, much of it in pages no longer used. Checks
// every second: once kTrimAfter connections or more have ended since the
// last trim, the free pages go back to the system (malloc_trim). Ends when
// the server stops.
inline constexpr int kTrimAfter = 256;
boost::asio::awaitable<void> trim_after_bursts(const Shared& shared);

}  // namespace cmg290::serve
