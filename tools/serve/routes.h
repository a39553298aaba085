// The routes of the HTTP server and what every request goes through first:
// route lookup, the access token, the method.
#pragma once

#include <httplib.h>

#include <cstddef>
#include <cstdint>

#include "access_token.h"
#include "metrics.h"

namespace cmg290::serve {

struct RouteContext {
  std::size_t maxBody;
  const AccessToken* token;
  Metrics* metrics;
  bool log;
  bool tls;       // the connections are TLS
  int timeoutMs;  // how long a read may wait
};

// Registers every route, the checks before them, the request log and the
// answers for unknown paths and wrong methods.
void add_routes(httplib::Server& server, RouteContext& context);

}  // namespace cmg290::serve
