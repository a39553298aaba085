#include "routes.h"

#include <unistd.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>

#include "answers.h"
#include "assets.h"
#include "cmg290/cmg290.h"
#include "cmg290/record_layout.h"
#include "record_routes.h"

namespace cmg290::serve {

namespace {

using Clock = std::chrono::steady_clock;
using Handled = httplib::Server::HandlerResponse;

Route route_of(std::string_view path) {
  if (path == "/v1/group") return Route::Group;
  if (path == "/v1/group/batch") return Route::Batch;
  if (path == "/v1/explain") return Route::Explain;
  if (path == "/v1/layout") return Route::Layout;
  if (path == "/v1/openapi.json") return Route::OpenApi;
  if (path == "/healthz") return Route::Health;
  if (path == "/metrics") return Route::Metrics;
  if (find_asset(path) != nullptr) return Route::Page;
  return Route::Other;
}

bool takes_post(Route route) {
  return route == Route::Group || route == Route::Batch || route == Route::Explain;
}

// Routes that give out data or statistics; the page, its files and the
// health check are open, so that a person can load the page and give a
// token there.
bool needs_token(Route route) {
  return route != Route::Page && route != Route::Health;
}

const BodyError kNotFound{"not_found", "no such path", {}};
const BodyError kUnauthorized{
    "unauthorized", "a valid bearer token is needed (Authorization: Bearer TOKEN)", {}};

BodyError wrong_method(Route route) {
  return {"method_not_allowed",
          std::string("this path takes ") + (takes_post(route) ? "POST" : "GET"),
          {}};
}

void set_refusal_headers(httplib::Response& res, Route route, int status) {
  if (status == 405) res.set_header("Allow", takes_post(route) ? "POST" : "GET, HEAD");
  if (status == 401) res.set_header("WWW-Authenticate", "Bearer realm=\"cmg290\"");
}

// 401, 404 or 405 for the request, or 0 when it may go on.
int refusal(const RouteContext& context, const httplib::Request& req, Route route) {
  if (route == Route::Other) return 404;
  const bool allowed =
      takes_post(route) ? req.method == "POST" : (req.method == "GET" || req.method == "HEAD");
  if (!allowed) return 405;
  if (context.token->enabled() && needs_token(route) &&
      !context.token->accepts(req.get_header_value("Authorization"))) {
    return 401;
  }
  return 0;
}

const BodyError& refusal_error(int status, Route route) {
  thread_local BodyError error;
  error = status == 404 ? kNotFound : status == 401 ? kUnauthorized : wrong_method(route);
  return error;
}

std::string layout_json() {
  nlohmann::ordered_json fields = nlohmann::ordered_json::array();
  for (const FieldLayout& f : kRecordLayout) {
    fields.push_back({{"name", f.name},
                      {"start", f.start},
                      {"length", f.length},
                      {"end", f.end()},
                      {"meaning", f.meaning}});
  }
  nlohmann::ordered_json layout = {{"record_length", kRecordLength}, {"fields", std::move(fields)}};
  return layout.dump() + "\n";
}

// One line per request on standard error, written at once: time, client,
// method, route, status, bytes of the answer's body and microseconds. The
// route is the path for known routes and "other" for any other, so no text
// a client made up gets into the log.
void log_request(const httplib::Request& req, int status, Route route, std::uint64_t bytes,
                 std::uint64_t microseconds) {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm utc;
  gmtime_r(&seconds, &utc);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &utc);
  const bool plainMethod = !req.method.empty() && req.method.size() <= 8 &&
                           std::all_of(req.method.begin(), req.method.end(),
                                       [](char c) { return c >= 'A' && c <= 'Z'; });
  const std::string_view method = plainMethod ? std::string_view(req.method) : "-";
  const char* client = req.remote_addr.empty() ? "-" : req.remote_addr.c_str();
  const std::string name(route_name(route));
  char line[256];
  const int n = std::snprintf(
      line, sizeof line, "%s.%03dZ %s %.*s %s %d %llu %lluus\n", stamp, static_cast<int>(millis),
      client, static_cast<int>(method.size()), method.data(), name.c_str(), status,
      static_cast<unsigned long long>(bytes), static_cast<unsigned long long>(microseconds));
  if (n > 0) {
    const ssize_t written = ::write(STDERR_FILENO, line, std::min<std::size_t>(n, sizeof line - 1));
    (void)written;
  }
}

void answer_get(const httplib::Request& req, httplib::Response& res, const RouteContext& context,
                const std::string& layout) {
  switch (request_state().route) {
    case Route::Layout:
      res.set_content(layout, kJson);
      return;
    case Route::OpenApi: {
      const std::string_view doc = openapi_document();
      res.set_content(doc.data(), doc.size(), kJson);
      return;
    }
    case Route::Health:
      res.set_content(
          "{\"status\":\"ok\",\"grouper_version\":\"" + std::string(kGrouperVersion) + "\"}\n",
          kJson);
      return;
    case Route::Metrics:
      res.set_content(context.metrics->text(), "text/plain; version=0.0.4; charset=utf-8");
      return;
    default: {
      const Asset* asset = find_asset(req.path);
      if (asset == nullptr) return answer_error(res, 404, kNotFound);
      res.set_content(asset->body.data(), asset->body.size(), std::string(asset->contentType));
      res.set_header("Cache-Control", "no-cache");
      return;
    }
  }
}

// A POST that is refused is answered after its body has been read (up to a
// limit), so that a client sending its whole body first gets the answer.
bool refuse_post(const httplib::Request& req, httplib::Response& res,
                 const httplib::ContentReader* reader) {
  const RequestState& state = request_state();
  if (state.refusal == 0) return false;
  answer_error_after_body(req, res, reader, state.refusal,
                          refusal_error(state.refusal, state.route), kDrainLimit);
  set_refusal_headers(res, state.route, state.refusal);
  return true;
}

}  // namespace

void add_routes(httplib::Server& server, RouteContext& context) {
  // Made once before serving and only read afterwards.
  static const std::string layout = layout_json();

  server.set_default_headers({{"X-Content-Type-Options", "nosniff"},
                              {"Content-Security-Policy",
                               "default-src 'self'; frame-ancestors 'none'; base-uri 'none'; "
                               "form-action 'none'"}});

  server.set_pre_routing_handler([&context](const httplib::Request& req, httplib::Response& res) {
    RequestState& state = request_state();
    state = {true, route_of(req.path), Clock::now(), 0, 0, 0};
    const int status = refusal(context, req, state.route);
    if (status == 0) return Handled::Unhandled;
    if (req.method == "POST") {
      // Refused by the POST handlers below, once they have the body.
      state.refusal = status;
      return Handled::Unhandled;
    }
    answer_and_close(req, res, status, refusal_error(status, state.route));
    set_refusal_headers(res, state.route, status);
    return Handled::Handled;
  });

  for (const char* path : {"/v1/group", "/v1/explain"}) {
    const bool explain = std::string_view(path) == "/v1/explain";
    server.Post(path, [&context, explain](const httplib::Request& req, httplib::Response& res,
                                          const httplib::ContentReader& reader) {
      if (!refuse_post(req, res, &reader)) answer_single(context, req, res, &reader, explain);
    });
    server.Post(path, [&context, explain](const httplib::Request& req, httplib::Response& res) {
      if (!refuse_post(req, res, nullptr)) answer_single(context, req, res, nullptr, explain);
    });
  }
  server.Post("/v1/group/batch", [&context](const httplib::Request& req, httplib::Response& res,
                                            const httplib::ContentReader& reader) {
    if (!refuse_post(req, res, &reader)) answer_batch(context, req, res, &reader);
  });
  server.Post("/v1/group/batch", [&context](const httplib::Request& req, httplib::Response& res) {
    if (!refuse_post(req, res, nullptr)) answer_batch(context, req, res, nullptr);
  });
  // POSTs to any other path: refused above, answered here.
  server.Post(".*", [](const httplib::Request& req, httplib::Response& res,
                       const httplib::ContentReader& reader) { refuse_post(req, res, &reader); });
  server.Post(".*", [](const httplib::Request& req, httplib::Response& res) {
    refuse_post(req, res, nullptr);
  });
  server.Get(".*", [&context](const httplib::Request& req, httplib::Response& res) {
    answer_get(req, res, context, layout);
  });

  server.set_exception_handler(
      [](const httplib::Request& req, httplib::Response& res, std::exception_ptr) {
        // The exception's text is not passed on: it might quote the body.
        answer_and_close(req, res, 500, {"internal_error", "the request could not be served", {}});
      });

  server.set_logger([&context](const httplib::Request& req, const httplib::Response& res) {
    RequestState& state = request_state();
    const Route route = state.active ? state.route : Route::Other;
    const std::uint64_t us =
        state.active
            ? static_cast<std::uint64_t>(
                  std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - state.start)
                      .count())
            : 0;
    const std::uint64_t bytes = res.body.size() + state.streamed;
    const int status = state.active && state.sentStatus != 0 ? state.sentStatus : res.status;
    state.active = false;
    context.metrics->count_request(route, status, us);
    if (context.log) log_request(req, status, route, bytes, us);
  });
}

}  // namespace cmg290::serve
