#include "routes.h"

#include <unistd.h>
#include <nlohmann/json.hpp>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>

#include "assets.h"
#include "batch.h"
#include "cmg290/cmg290.h"
#include "cmg290/explain.h"
#include "cmg290/record_layout.h"
#include "cmg290/result_json.h"
#include "request_body.h"

namespace cmg290::serve {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kJson = "application/json";
constexpr const char* kJsonLines = "application/x-ndjson";

// What the request log and the metrics need of the request being served.
// A worker thread serves one request at a time, so this is per thread.
struct RequestState {
  bool active = false;
  Route route = Route::Other;
  Clock::time_point start;
  std::uint64_t streamed = 0;  // bytes of an answer written as it goes
  int sentStatus = 0;          // the status sent, when reading the body changed it later
};
thread_local RequestState current;

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

bool is_post(Route route) {
  return route == Route::Group || route == Route::Batch || route == Route::Explain;
}

// Routes that give out data or statistics; the page, its files and the
// health check are open, so that a person can load the page and give a
// token there.
bool needs_token(Route route) {
  return route != Route::Page && route != Route::Health;
}

void answer_error(httplib::Response& res, int status, const BodyError& error) {
  res.status = status;
  res.set_content(error_json(error) + "\n", kJson);
}

// An answer given without reading (all of) the request's body: the
// connection is closed after it, as what is left of the body cannot be told
// from a next request. The request object is the server's own, not const:
// marking it "Connection: close" makes the answer say so, and a content
// provider that reports failure after writing the whole body makes the
// server close the connection.
void answer_and_close(const httplib::Request& req, httplib::Response& res, int status,
                      const BodyError& error) {
  auto& request = const_cast<httplib::Request&>(req);
  request.headers.erase("Connection");
  request.set_header("Connection", "close");
  res.status = status;
  auto body = std::make_shared<const std::string>(error_json(error) + "\n");
  res.set_content_provider(body->size(), kJson,
                           [body](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                             if (offset < body->size()) {
                               sink.write(body->data() + offset, body->size() - offset);
                               current.streamed += body->size() - offset;
                             }
                             return false;
                           });
}

std::string layout_json() {
  nlohmann::json fields = nlohmann::json::array();
  for (const FieldLayout& f : kRecordLayout) {
    fields.push_back({{"name", f.name},
                      {"start", f.start},
                      {"length", f.length},
                      {"end", f.end()},
                      {"meaning", f.meaning}});
  }
  nlohmann::json layout = {{"record_length", kRecordLength}, {"fields", std::move(fields)}};
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
  const std::string_view method =
      req.method.empty() || req.method.size() > 8 ? std::string_view("-") : req.method;
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

// The Content-Length a request announces, or -1 when it gives none.
long long announced_length(const httplib::Request& req) {
  if (!req.has_header("Content-Length")) return -1;
  const std::string text = req.get_header_value("Content-Length");
  long long value = -1;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

BodyError too_large(std::size_t limit) {
  return {"too_large", "the body is larger than " + std::to_string(limit) + " bytes", {}};
}

BodyError unsupported_type() {
  return {"unsupported_media_type",
          "send Content-Type text/plain, application/json or application/x-ndjson",
          {}};
}

// Reads a single call's body, groups or explains its record and answers.
void answer_single(const RouteContext& context, const httplib::Request& req, httplib::Response& res,
                   const httplib::ContentReader* reader, bool explain) {
  const BodyType type = body_type(req.get_header_value("Content-Type"));
  if (type == BodyType::Unsupported) return answer_and_close(req, res, 415, unsupported_type());
  const long long announced = announced_length(req);
  if (announced > static_cast<long long>(context.maxBody)) {
    return answer_and_close(req, res, 413, too_large(context.maxBody));
  }

  thread_local std::string body;
  body.clear();
  bool oversize = false;
  if (reader != nullptr) {
    const bool read = (*reader)([&](const char* data, std::size_t size) {
      if (body.size() + size > context.maxBody) {
        oversize = true;
        return false;
      }
      body.append(data, size);
      return true;
    });
    if (oversize) return answer_and_close(req, res, 413, too_large(context.maxBody));
    if (!read && (announced > 0 || !body.empty())) {
      return answer_and_close(req, res, 400, {"incomplete_body", "the body could not be read", {}});
    }
  }
  if (body.empty()) {
    return answer_error(res, 400, {"missing_record", "the body is empty; send a record", {}});
  }

  thread_local std::string built;
  std::string_view record;
  if (type == BodyType::Text) {
    record = record_from_text(body);
  } else {
    BodyError error;
    if (!record_from_json(body, built, error)) return answer_error(res, 400, error);
    record = built;
  }
  context.metrics->count_records(1);
  if (explain) {
    res.set_content(explain_json(cmg290::explain(record)) + "\n", kJson);
    return;
  }
  const Result r = group(record);
  char out[kResultJsonMaxFixed + 6 * 64 + 4];
  char* p = out;
  *p++ = '{';
  p = write_result_json(p, r, status_text(r.status));
  *p++ = '}';
  *p++ = '\n';
  res.set_content(out, static_cast<std::size_t>(p - out), kJson);
}

// Streams a batch's results as its body arrives: the answer starts before
// the body is read, so a line that is refused can only be told in the
// answer itself. It then comes as the last line, and the answer is cut off
// without its end, so that no client takes it for a complete one.
void answer_batch(const RouteContext& context, const httplib::Request& req, httplib::Response& res,
                  const httplib::ContentReader* reader) {
  const BodyType type = body_type(req.get_header_value("Content-Type"));
  if (type == BodyType::Unsupported) return answer_and_close(req, res, 415, unsupported_type());
  if (reader == nullptr) {
    res.set_content("", kJsonLines);
    return;
  }
  const httplib::ContentReader body = *reader;
  const RouteContext* ctx = &context;
  res.set_chunked_content_provider(kJsonLines, [body, type, ctx](std::size_t,
                                                                 httplib::DataSink& sink) {
    BatchGrouper batch(type, ctx->maxBody, [&sink](const char* data, std::size_t size) {
      return sink.write(data, size);
    });
    bool ok = body([&batch](const char* data, std::size_t size) { return batch.feed(data, size); });
    ok = ok && batch.finish();
    // A refused line makes the reading fail, and the server then sets 400 on
    // an answer whose status line went out long before.
    current.sentStatus = 200;
    ctx->metrics->count_records(batch.records());
    current.streamed += batch.bytes_written();
    if (!ok) return false;
    sink.done();
    return true;
  });
}

void answer_get(const httplib::Request& req, httplib::Response& res, const RouteContext& context,
                const std::string& layout) {
  switch (current.route) {
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
      if (asset == nullptr) return answer_error(res, 404, {"not_found", "no such path", {}});
      res.set_content(asset->body.data(), asset->body.size(), std::string(asset->contentType));
      res.set_header("Cache-Control", "no-cache");
      return;
    }
  }
}

}  // namespace

void add_routes(httplib::Server& server, RouteContext& context) {
  // Set once before serving and only read afterwards.
  static const std::string layout = layout_json();

  server.set_default_headers({{"X-Content-Type-Options", "nosniff"},
                              {"Content-Security-Policy",
                               "default-src 'self'; frame-ancestors 'none'; base-uri 'none'; "
                               "form-action 'none'"}});

  server.set_pre_routing_handler([&context](const httplib::Request& req, httplib::Response& res) {
    current = {true, route_of(req.path), Clock::now(), 0, 0};
    const Route route = current.route;
    if (route == Route::Other) {
      answer_and_close(req, res, 404, {"not_found", "no such path", {}});
      return httplib::Server::HandlerResponse::Handled;
    }
    const bool post = is_post(route);
    const bool allowed =
        post ? req.method == "POST" : (req.method == "GET" || req.method == "HEAD");
    if (!allowed) {
      answer_and_close(
          req, res, 405,
          {"method_not_allowed", "this path takes " + std::string(post ? "POST" : "GET"), {}});
      res.set_header("Allow", post ? "POST" : "GET, HEAD");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (context.token->enabled() && needs_token(route) &&
        !context.token->accepts(req.get_header_value("Authorization"))) {
      answer_and_close(
          req, res, 401,
          {"unauthorized", "a valid bearer token is needed (Authorization: Bearer)", {}});
      res.set_header("WWW-Authenticate", "Bearer realm=\"cmg290\"");
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });

  for (const char* path : {"/v1/group", "/v1/explain"}) {
    const bool explain = std::string_view(path) == "/v1/explain";
    server.Post(path, [&context, explain](const httplib::Request& req, httplib::Response& res,
                                          const httplib::ContentReader& reader) {
      answer_single(context, req, res, &reader, explain);
    });
    server.Post(path, [&context, explain](const httplib::Request& req, httplib::Response& res) {
      answer_single(context, req, res, nullptr, explain);
    });
  }
  server.Post("/v1/group/batch", [&context](const httplib::Request& req, httplib::Response& res,
                                            const httplib::ContentReader& reader) {
    answer_batch(context, req, res, &reader);
  });
  server.Post("/v1/group/batch", [&context](const httplib::Request& req, httplib::Response& res) {
    answer_batch(context, req, res, nullptr);
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
    const Route route = current.active ? current.route : Route::Other;
    const std::uint64_t us =
        current.active
            ? static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                             Clock::now() - current.start)
                                             .count())
            : 0;
    const std::uint64_t bytes = res.body.size() + current.streamed;
    const int status = current.active && current.sentStatus != 0 ? current.sentStatus : res.status;
    current.active = false;
    context.metrics->count_request(route, status, us);
    if (context.log) log_request(req, status, route, bytes, us);
  });
}

}  // namespace cmg290::serve
