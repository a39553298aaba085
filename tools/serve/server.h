// cmg290 serve: the HTTP server's options and its run.
#pragma once

#include <cstddef>
#include <string>

#include "listen_address.h"

namespace cmg290::serve {

struct ServeOptions {
  ListenAddress listen{"127.0.0.1", 8290};
  int threads = 16;                 // connections served at once
  std::size_t maxBody = 64 * 1024;  // bytes of a single call's body, or of a batch's JSON line
  std::string tlsCert, tlsKey;      // PEM files; both or neither
  std::string tokenFile;            // bearer token; empty: none asked for
  bool insecure = false;            // listen beyond loopback without TLS and token
  double timeout = 10;              // seconds a read or write may wait
  int idleTimeout = 5;              // seconds a kept-alive connection may idle
  bool log = true;                  // one line per request on standard error
};

// Runs the server until SIGINT or SIGTERM; requests in flight are answered
// before it returns. Returns the exit code: 0 after a clean stop, 2 when it
// cannot start (a message on standard error says why).
int run_server(const ServeOptions& options);

}  // namespace cmg290::serve
