// cmg290 serve: the HTTP server's options and its run.
#pragma once

#include <cstddef>
#include <string>

#include "exit_codes.h"
#include "listen_address.h"
#include "shared/tier_set_options.h"

namespace cmg290::serve {

struct ServeOptions {
  ListenAddress listen{"127.0.0.1", 8290};
  int threads = 16;                 // worker threads grouping batches
  int maxConnections = 4096;        // connections held at once (kTlsConnections with TLS)
  std::size_t maxBody = 64 * 1024;  // bytes of a single call's body, or of a batch's JSON line
  std::string tlsCert, tlsKey;      // PEM files; both or neither
  std::string tokenFile;            // bearer token; empty: none asked for
  bool insecure = false;            // listen beyond loopback without TLS and token
  double timeout = 10;              // seconds for a request's headers, for a single call, and
                                    // for each read or write of a batch
  int idleTimeout = 5;              // seconds a kept-alive connection may idle
  double grace = 5;                 // seconds in-flight requests get when stopping
  double minBodyRate = 1024;        // bytes per second a batch body keeps up; 0: no minimum
  double rateWindow = 20;           // seconds below that rate before it is cut
  int maxHandshakes = 64;           // TLS handshakes in progress at once
  double handshakeTimeout = 5;      // seconds from accept to the TLS handshake's end
  bool log = true;                  // one line per request on standard error
  cli::TierSetChoice tierSet;       // the compiled-in lists, or a set's directory
  std::string weights;              // relative weights for /v1/report; empty: none
};

// --max-connections by default with TLS: an established TLS connection
// costs some 110 KiB (docs/http-api.md), so that these stay within 256 MiB.
inline constexpr int kTlsConnections = 1280;

// Exit codes of run_server().
inline constexpr int kStoppedCleanly = cli::kExitClean;  // every request in flight was answered
inline constexpr int kCannotStart = cli::kExitFatal;
inline constexpr int kCutAfterGrace = cli::kExitServeCut;
inline constexpr int kStoppedAtOnce = cli::kExitServeStoppedAtOnce;

// Runs the server until SIGINT or SIGTERM, then gives the requests in flight
// the grace period; a second signal ends it at once. SIGHUP reloads the
// tier-table set of --tier-tables (served_tables.h). Returns the exit code
// (a message on standard error says why it could not start).
int run_server(const ServeOptions& options);

}  // namespace cmg290::serve
