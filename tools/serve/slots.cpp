#include "slots.h"

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/use_awaitable.hpp>

#include <algorithm>

namespace cmg290::serve {

using asio::awaitable;
using asio::use_awaitable;

Registered::Registered(Shared& shared, Links& links, Link& link)
    : shared(shared), links(links), link(link) {
  links.insert(&link);
}

Registered::~Registered() {
  links.erase(&link);
  if (link.givingWay) shared.givingWay.fetch_sub(1);
  shared.connections.fetch_sub(1);
  shared.ended.fetch_add(1);
}

SlotClock::duration give_way_rank(const Link& link, SlotClock::time_point now) {
  if (link.givingWay || !link.waiting) return {};
  const SlotClock::duration stalled = now - link.progressAt;
  if (stalled < kStalledToGiveWay) return {};
  // An idle kept-alive connection loses no request: it goes first.
  constexpr auto kIdleFirst = std::chrono::hours(24 * 365);
  return link.idle ? stalled + kIdleFirst : stalled;
}

namespace {

Link* best_on_loop(const Links& links, SlotClock::duration& rank) {
  const auto now = SlotClock::now();
  Link* best = nullptr;
  rank = {};
  for (Link* link : links) {
    const SlotClock::duration r = give_way_rank(*link, now);
    if (r > rank) {
      rank = r;
      best = link;
    }
  }
  return best;
}

awaitable<SlotClock::duration> rank_on_loop(const Links& links) {
  SlotClock::duration rank{};
  best_on_loop(links, rank);
  co_return rank;
}

awaitable<bool> give_way_on_loop(const Links& links, Shared& shared) {
  SlotClock::duration rank{};
  Link* link = best_on_loop(links, rank);
  if (link == nullptr) co_return false;
  link->givingWay = true;
  shared.givingWay.fetch_add(1);
  link->close();
  co_return true;
}

}  // namespace

awaitable<bool> make_room(const std::vector<LoopLinks>& loops, Shared& shared) {
  const LoopLinks* best = nullptr;
  SlotClock::duration bestRank{};
  for (const LoopLinks& loop : loops) {
    const SlotClock::duration rank =
        co_await asio::co_spawn(*loop.context, rank_on_loop(*loop.links), use_awaitable);
    if (rank > bestRank) {
      bestRank = rank;
      best = &loop;
    }
  }
  if (best == nullptr) co_return false;
  co_return co_await asio::co_spawn(*best->context, give_way_on_loop(*best->links, shared),
                                    use_awaitable);
}

namespace {

template <class Seconds>
std::chrono::steady_clock::duration seconds(Seconds s) {
  return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(s));
}

}  // namespace

std::string slot_options_error(const ServeOptions& o) {
  if (!(o.minBodyRate >= 0 && o.minBodyRate <= 1e9)) {
    return "--min-body-rate must be 0 to 1000000000 bytes per second";
  }
  if (!(o.rateWindow >= 1 && o.rateWindow <= 3600)) {
    return "--body-rate-window must be 1 to 3600 seconds";
  }
  if (o.maxHandshakes < 1 || o.maxHandshakes > 1'000'000) {
    return "--max-handshakes must be 1 to 1000000";
  }
  if (!(o.handshakeTimeout >= 0.1 && o.handshakeTimeout <= 3600)) {
    return "--handshake-timeout must be 0.1 to 3600 seconds";
  }
  return {};
}

void apply_slot_options(const ServeOptions& o, Shared& shared) {
  shared.minBodyRate = o.minBodyRate;
  shared.rateWindow = seconds(o.rateWindow);
  shared.handshakeTimeout = seconds(o.handshakeTimeout);
}

int handshakes_per_loop(const ServeOptions& o, std::size_t loops) {
  const auto n = static_cast<int>(loops);
  return std::max(1, (o.maxHandshakes + n - 1) / n);
}

}  // namespace cmg290::serve
