#include "server.h"

#include <signal.h>
#include <sys/resource.h>

#include <utility>  // before Asio 1.74's awaitable.hpp, which uses std::exchange without it

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/detached.hpp>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/redirect_error.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/use_awaitable.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <memory>
#include <thread>
#include <vector>

#include "access_token.h"
#include "connection.h"
#include "handshake_gate.h"
#include "memory_trim.h"
#include "metrics.h"
#include "report_weights.h"
#include "routes.h"
#include "served_tables.h"
#include "signals.h"
#include "slots.h"
#include "tier_tables.h"
#include "tls_setup.h"

namespace cmg290::serve {

namespace {

using asio::ip::tcp;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxBodyCeiling = std::size_t{1} << 30;
// Descriptors kept back from --max-connections for everything else.
constexpr rlim_t kSpareDescriptors = 64;

int fail(const std::string& message) {
  std::fprintf(stderr, "cmg290 serve: %s\n", message.c_str());
  return kCannotStart;
}

std::string url_host(const std::string& host) {
  return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

// An I/O thread: its event loop and the connections it serves.
struct IoThread {
  Links links;  // destroyed after the context, whose connections leave it
  HandshakeGate gate;
  asio::io_context context{1};
  std::thread thread;
};

// Closes the connections of every thread: all of them, or only the idle ones.
void close_links(std::deque<IoThread>& threads, bool all) {
  for (IoThread& t : threads) {
    asio::post(t.context, [&t, all] {
      const std::vector<Link*> links(t.links.begin(), t.links.end());
      for (Link* link : links) {
        if (all || link->idle) link->close();
      }
    });
  }
}

asio::awaitable<void> accept_loop(tcp::acceptor& acceptor, std::deque<IoThread>& threads,
                                  Shared& shared, asio::ssl::context* tls, int maxConnections) {
  asio::steady_timer pause(acceptor.get_executor());
  std::vector<LoopLinks> loops;
  for (IoThread& t : threads) loops.push_back({&t.context, &t.links});
  std::size_t next = 0;
  for (;;) {
    beast::error_code ec;
    if (slots_held(shared) >= maxConnections) {
      // Full: once a client waits to be accepted, a stalled connection gives
      // way to it (slots.h); with none, it waits in the listen queue.
      co_await acceptor.async_wait(tcp::acceptor::wait_read,
                                   asio::redirect_error(asio::use_awaitable, ec));
      if (shared.stopping || !acceptor.is_open()) co_return;
      bool room = slots_held(shared) < maxConnections;
      if (!room) room = co_await make_room(loops, shared);
      if (!room) {
        pause.expires_after(std::chrono::milliseconds(20));
        co_await pause.async_wait(asio::redirect_error(asio::use_awaitable, ec));
        if (shared.stopping) co_return;
        continue;
      }
    }
    IoThread& t = threads[next++ % threads.size()];
    tcp::socket socket(t.context);
    co_await acceptor.async_accept(socket, asio::redirect_error(asio::use_awaitable, ec));
    if (ec) {
      if (shared.stopping || !acceptor.is_open()) co_return;
      // Out of descriptors, most likely: wait for some to be freed.
      pause.expires_after(std::chrono::milliseconds(50));
      co_await pause.async_wait(asio::redirect_error(asio::use_awaitable, ec));
      continue;
    }
    socket.set_option(tcp::no_delay(true), ec);
    std::string remote = socket.remote_endpoint(ec).address().to_string();
    shared.connections.fetch_add(1);
    if (tls != nullptr) {
      asio::co_spawn(t.context,
                     serve_tls(std::move(socket), *tls, shared, t.links, t.gate, std::move(remote)),
                     asio::detached);
    } else {
      asio::co_spawn(t.context, serve_plain(std::move(socket), shared, t.links, std::move(remote)),
                     asio::detached);
    }
  }
}

// Waits for the stop signals after the first: the grace period, then the
// cut. Returns the exit code.
int stop(std::deque<IoThread>& threads, Shared& shared, const sigset_t& signals, double grace) {
  shared.stopping = true;
  close_links(threads, false);
  const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(grace));
  auto cutAt = Clock::time_point::max();
  int code = kStoppedCleanly;
  while (shared.connections.load() > 0) {
    const timespec wait{0, 10'000'000};
    const int sig = sigtimedwait(&signals, nullptr, &wait);
    if (sig == SIGINT || sig == SIGTERM) {
      std::fprintf(stderr, "cmg290 serve: second signal: stopping at once\n");
      std::fflush(stderr);
      std::_Exit(kStoppedAtOnce);
    }
    const auto now = Clock::now();
    if (now >= deadline && !shared.cut) {
      std::fprintf(stderr, "cmg290 serve: grace period over: cutting %d connections\n",
                   shared.connections.load());
      shared.cut = true;
      code = kCutAfterGrace;
      cutAt = now;
      close_links(threads, true);
    }
    if (shared.cut && now - cutAt > std::chrono::seconds(2)) break;
  }
  return code;
}

// The limit of open descriptors raised as far as allowed; the number of
// connections that fit in it.
int connections_that_fit(int wanted) {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return wanted;
  if (limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    getrlimit(RLIMIT_NOFILE, &limit);
  }
  if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > kSpareDescriptors + rlim_t(wanted)) {
    return wanted;
  }
  return std::max(1, static_cast<int>(limit.rlim_cur) - static_cast<int>(kSpareDescriptors));
}

}  // namespace

int run_server(const ServeOptions& o) {
  if (o.threads < 1 || o.threads > 1024) return fail("--threads must be 1 to 1024");
  if (o.maxConnections < 1 || o.maxConnections > 1'000'000) {
    return fail("--max-connections must be 1 to 1000000");
  }
  if (o.maxBody < 2048 || o.maxBody > kMaxBodyCeiling) {
    return fail("--max-body must be 2048 to " + std::to_string(kMaxBodyCeiling) + " bytes");
  }
  if (!(o.timeout >= 0.001 && o.timeout <= 3600)) {
    return fail("--timeout must be 0.001 to 3600 seconds");
  }
  if (o.idleTimeout < 1 || o.idleTimeout > 3600) return fail("--idle-timeout must be 1 to 3600");
  if (!(o.grace >= 0 && o.grace <= 3600)) return fail("--grace must be 0 to 3600 seconds");
  if (const std::string error = slot_options_error(o); !error.empty()) return fail(error);
  if (o.tlsCert.empty() != o.tlsKey.empty()) {
    return fail("--tls-cert and --tls-key go together");
  }
  const bool tls = !o.tlsCert.empty();
  const bool loopback = is_loopback_host(o.listen.host);
  if (!loopback && !(tls && !o.tokenFile.empty())) {
    if (!o.insecure) {
      return fail("refusing to listen on " + o.listen.host +
                  ", which is reachable from other machines, without TLS and a token: give "
                  "--tls-cert, --tls-key and --token-file (or --insecure to do it anyway)");
    }
    std::fprintf(stderr,
                 "cmg290 serve: warning: listening on %s without %s; records and results "
                 "cross the network %s\n",
                 o.listen.host.c_str(),
                 tls ? "a token" : (o.tokenFile.empty() ? "TLS or a token" : "TLS"),
                 tls ? "to anyone who connects" : "readable by anyone on the way");
  }

  if (o.tierSet.allowDeviations && o.tierSet.directory.empty()) {
    return fail("--allow-deviations goes with --tier-tables");
  }
  // A SIGHUP while the set loads is held, to reload once the server runs,
  // rather than ending it (SIGUSR1 and SIGUSR2 are held too).
  hold_signals_while_starting();
  if (!o.tierSet.expectedSha256.empty() && o.tierSet.directory.empty()) {
    return fail("--tier-tables-sha256 goes with --tier-tables");
  }
  // Loaded before anything listens; again on SIGHUP, with the same options
  // (a pinned server reloads only a set of that digest).
  ServedTables tables(o.tierSet);
  if (!tables.load_first()) return kCannotStart;
  ReportWeights weights;
  if (!o.weights.empty()) {
    std::string problems;
    if (!load_report_weights(o.weights, *tables.current()->set, weights, problems)) {
      return fail(problems);
    }
  }

  AccessToken token;
  std::string error;
  if (!o.tokenFile.empty()) {
    if (!token.load(o.tokenFile, error)) return fail(error);
    warn_if_readable_by_others(o.tokenFile, "token");
  }
  asio::ssl::context tlsContext(asio::ssl::context::tls_server);
  if (tls) {
    if (!setup_tls(tlsContext, o.tlsCert, o.tlsKey, error)) return fail(error);
    warn_if_readable_by_others(o.tlsKey, "key");
  }
  const int maxConnections = connections_that_fit(o.maxConnections);

  // The signals are waited for below; every thread, started after this,
  // has them blocked.
  const sigset_t signals = block_served_signals();

  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  // More event loops than cores: a loop that the system leaves waiting
  // behind other processes then holds up fewer connections (on a busy
  // two-core machine, 16 loops instead of 4 took the 99th percentile of
  // single calls from 5-13 ms to 1-2 ms). A loop with nothing to do costs
  // nothing.
  std::deque<IoThread> threads(std::clamp(cores, 16u, 64u));
  auto acceptor = std::make_unique<tcp::acceptor>(threads.front().context);
  beast::error_code ec;
  bool found = false;
  {
    tcp::resolver resolver(threads.front().context);
    const auto endpoints = resolver.resolve(o.listen.host, std::to_string(o.listen.port),
                                            tcp::resolver::numeric_service, ec);
    found = !ec && !endpoints.empty();
    if (found) {
      // SO_REUSEADDR for a quick restart; not SO_REUSEPORT, with which a
      // second server on the same port would start and take a share of
      // the connections.
      const tcp::endpoint endpoint = endpoints.begin()->endpoint();
      acceptor->open(endpoint.protocol(), ec);
      if (!ec) acceptor->set_option(tcp::acceptor::reuse_address(true), ec);
      if (!ec) acceptor->bind(endpoint, ec);
      if (!ec) acceptor->listen(asio::socket_base::max_listen_connections, ec);
    }
  }
  if (ec || !found) {
    return fail("cannot listen on " + url_host(o.listen.host) + ":" +
                std::to_string(o.listen.port) + " (address in use, or not one of this machine)");
  }
  const int port = acceptor->local_endpoint(ec).port();

  Metrics metrics;
  const RouteContext routes{o.maxBody, &token, &metrics, o.log, &tables, weights.in_use()};
  asio::thread_pool workers(static_cast<std::size_t>(o.threads));
  Shared shared;
  shared.routes = &routes;
  shared.workers = &workers;
  shared.timeout =
      std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(o.timeout));
  shared.idle = std::chrono::seconds(o.idleTimeout);
  apply_slot_options(o, shared);
  for (IoThread& t : threads) t.gate.set_slots(handshakes_per_loop(o, threads.size()));

  std::fprintf(stderr, "cmg290 serve: listening on %s://%s:%d (%d threads%s)\n",
               tls ? "https" : "http", url_host(o.listen.host).c_str(), port, o.threads,
               token.enabled() ? ", token required" : "");
  std::fprintf(stderr, "cmg290 serve: %s\n", tier_set_line(*tables.current()->set).c_str());
  tables.start();
  asio::co_spawn(
      threads.front().context,
      accept_loop(*acceptor, threads, shared, tls ? &tlsContext : nullptr, maxConnections),
      asio::detached);
  asio::co_spawn(threads.front().context, trim_after_bursts(shared), asio::detached);
  std::vector<asio::executor_work_guard<asio::io_context::executor_type>> busy;
  for (IoThread& t : threads) {
    busy.push_back(asio::make_work_guard(t.context));
    t.thread = std::thread([&t] { t.context.run(); });
  }

  // SIGHUP reloads the tier-table set; once stopping, it (like SIGUSR1 and
  // SIGUSR2) stays blocked and is passed over.
  while (next_signal(signals) == SIGHUP) tables.request_reload();
  std::fprintf(stderr, "cmg290 serve: stopping: finishing the requests in flight (%g s at most)\n",
               o.grace);
  asio::post(threads.front().context, [&acceptor] {
    beast::error_code ignored;
    acceptor->close(ignored);
  });
  const int code = stop(threads, shared, stop_signals(), o.grace);
  busy.clear();
  for (IoThread& t : threads) t.context.stop();
  for (IoThread& t : threads) t.thread.join();
  workers.join();
  tables.stop();
  // Connections cut off but not yet ended go with their threads, while what
  // they use is still there.
  acceptor.reset();
  threads.clear();
  std::fprintf(stderr, "cmg290 serve: stopped%s\n",
               code == kStoppedCleanly ? "" : " (requests cut after the grace period)");
  return code;
}

}  // namespace cmg290::serve
