// Connection slots: who holds one, who waits for a client, and who gives
// way when all are taken. A connection that waits for its client's bytes
// (its next request, its headers, its body, its TLS handshake) is stalled
// since its last progress: its start, the end of its last request, or the
// last kProgressBytes bytes received (a trickle of bytes is no progress).
// When every slot is taken and a new client waits to be accepted, the
// connection stalled longest (a kept-alive idle one first) gives way,
// provided it has been stalled at least kStalledToGiveWay. Batch bodies must
// also keep up a minimum rate (body_pace.h), so that a client trickling a
// batch is cut even when slots are free.
#pragma once

#include <utility>  // before Asio 1.74's awaitable.hpp, which uses std::exchange without it

#include <boost/asio/awaitable.hpp>
#include <boost/asio/io_context.hpp>

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "connection.h"
#include "server.h"

namespace cmg290::serve {

using SlotClock = std::chrono::steady_clock;

// How long a connection must have waited for its client before it may give
// way to a new one.
inline constexpr auto kStalledToGiveWay = std::chrono::seconds(1);

// Counts a connection from its start to its end, and keeps it among the
// links of its thread meanwhile.
struct Registered {
  Registered(Shared& shared, Links& links, Link& link);
  ~Registered();
  Registered(const Registered&) = delete;
  Registered& operator=(const Registered&) = delete;
  Shared& shared;
  Links& links;
  Link& link;
};

inline constexpr std::size_t kProgressBytes = 512;

// Marks a link as waiting for its client for as long as it lives.
struct Waiting {
  explicit Waiting(Link& link) : link(link) { link.waiting = true; }
  ~Waiting() { link.waiting = false; }
  Waiting(const Waiting&) = delete;
  Waiting& operator=(const Waiting&) = delete;
  Link& link;
};

// Counts `bytes` received from the link's client towards its progress.
inline void received(Link& link, std::size_t bytes) {
  link.sinceProgress += bytes;
  if (link.sinceProgress >= kProgressBytes) {
    link.sinceProgress = 0;
    link.progressAt = SlotClock::now();
  }
}

// A request ended: progress, whatever its bytes.
inline void request_done(Link& link) {
  link.sinceProgress = 0;
  link.progressAt = SlotClock::now();
}

// Slots held by connections that are not on their way out.
inline int slots_held(const Shared& shared) {
  return shared.connections.load() - shared.givingWay.load();
}

// How strongly a link should give way: the higher, the sooner. Zero for one
// that may not (not waiting for its client, or not long enough).
SlotClock::duration give_way_rank(const Link& link, SlotClock::time_point now);

// An event loop and the connections it serves.
struct LoopLinks {
  boost::asio::io_context* context;
  Links* links;
};

// Closes the connection, among all loops, that gives way best (on its own
// loop); false when none may. Called from the acceptor's loop.
boost::asio::awaitable<bool> make_room(const std::vector<LoopLinks>& loops, Shared& shared);

// The options of the slot rule, the body rate and the TLS handshakes: what
// is wrong with them (empty when nothing), and their effect on `shared`.
std::string slot_options_error(const ServeOptions& options);
void apply_slot_options(const ServeOptions& options, Shared& shared);
// Handshakes each of `loops` event loops may run at once.
int handshakes_per_loop(const ServeOptions& options, std::size_t loops);

}  // namespace cmg290::serve
