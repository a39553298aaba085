#include "server.h"

#include <httplib.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <thread>

#include "access_token.h"
#include "connection_pool.h"
#include "metrics.h"
#include "routes.h"

namespace cmg290::serve {

namespace {

// Connections accepted beyond those being served, per worker thread.
constexpr std::size_t kWaitingPerThread = 4;
// Requests one kept-alive connection may make before it is closed, so that
// waiting connections get their turn.
constexpr std::size_t kKeepAliveRequests = 10000;

int fail(const std::string& message) {
  std::fprintf(stderr, "cmg290 serve: %s\n", message.c_str());
  return 2;
}

std::string url_host(const std::string& host) {
  return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

}  // namespace

int run_server(const ServeOptions& o) {
  if (o.threads < 1 || o.threads > 1024) return fail("--threads must be 1 to 1024");
  if (o.maxBody < 2048) return fail("--max-body must be at least 2048 bytes");
  if (!(o.timeout > 0 && o.timeout <= 3600)) return fail("--timeout must be above 0, at most 3600");
  if (o.idleTimeout < 1 || o.idleTimeout > 3600) return fail("--idle-timeout must be 1 to 3600");
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

  AccessToken token;
  std::string error;
  if (!o.tokenFile.empty() && !token.load(o.tokenFile, error)) return fail(error);

  // SIGINT and SIGTERM are taken by a thread of their own (below); every
  // other thread, started after this, has them blocked.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  std::unique_ptr<httplib::Server> server;
  if (tls) {
    server = std::make_unique<httplib::SSLServer>(o.tlsCert.c_str(), o.tlsKey.c_str());
  } else {
    server = std::make_unique<httplib::Server>();
  }
  if (!server->is_valid()) {
    return fail("cannot use the certificate " + o.tlsCert + " with the key " + o.tlsKey);
  }

  const auto threads = static_cast<std::size_t>(o.threads);
  server->new_task_queue = [threads] {
    return new ConnectionPool(threads, threads * kWaitingPerThread);
  };
  const auto seconds = static_cast<time_t>(o.timeout);
  const auto micros = static_cast<time_t>(std::lround((o.timeout - seconds) * 1e6));
  server->set_read_timeout(seconds, micros);
  server->set_write_timeout(seconds, micros);
  server->set_keep_alive_timeout(o.idleTimeout);
  server->set_keep_alive_max_count(kKeepAliveRequests);
  server->set_tcp_nodelay(true);
  // The library's default also sets SO_REUSEPORT, with which a second
  // server on the same port starts without complaint and takes a share of
  // the connections. Only SO_REUSEADDR, for a quick restart.
  server->set_socket_options([](socket_t sock) {
    const int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });

  Metrics metrics;
  RouteContext context{o.maxBody, &token, &metrics,
                       o.log,     tls,    static_cast<int>(std::lround(o.timeout * 1000))};
  add_routes(*server, context);

  int port = o.listen.port;
  if (port == 0) {
    port = server->bind_to_any_port(o.listen.host);
  } else if (!server->bind_to_port(o.listen.host, port)) {
    port = -1;
  }
  if (port < 0) {
    return fail("cannot listen on " + url_host(o.listen.host) + ":" +
                std::to_string(o.listen.port) + " (address in use, or not one of this machine)");
  }
  std::fprintf(stderr, "cmg290 serve: listening on %s://%s:%d (%d threads%s)\n",
               tls ? "https" : "http", url_host(o.listen.host).c_str(), port, o.threads,
               token.enabled() ? ", token required" : "");

  std::thread stopper([&server, &stopSignals] {
    int sig = 0;
    sigwait(&stopSignals, &sig);
    if (sig != SIGUSR1) {
      std::fprintf(stderr, "cmg290 serve: stopping: finishing the requests in flight\n");
    }
    server->stop();
  });
  const bool listened = server->listen_after_bind();
  pthread_kill(stopper.native_handle(), SIGUSR1);
  stopper.join();
  if (!listened) return fail("the server stopped on an error");
  std::fprintf(stderr, "cmg290 serve: stopped\n");
  return 0;
}

}  // namespace cmg290::serve
