#include "routes.h"

#include <unistd.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "assets.h"
#include "batch.h"
#include "cmg290/cmg290.h"
#include "cmg290/edits.h"
#include "cmg290/explain.h"
#include "cmg290/record_layout.h"
#include "cmg290/result_json.h"
#include "cmg290/tier_set.h"
#include "page_policy.h"
#include "served_tables.h"

namespace cmg290::serve {

namespace {

using Clock = std::chrono::steady_clock;

bool takes_post(Route route) {
  return route == Route::Group || route == Route::Batch || route == Route::Explain ||
         route == Route::Report;
}

// Routes that give out data or statistics; the page, its files and the
// health check are open, so that a person can load the page and give a
// token there.
bool needs_token(Route route) {
  return route != Route::Page && route != Route::Health;
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

Answer json_answer(std::string body) {
  Answer a;
  a.contentType = kJson;
  a.body = std::move(body);
  return a;
}

Answer answer_get(const RouteContext& context, const Request& req) {
  // Made once, on first use, and only read afterwards.
  static const std::string layout = layout_json();
  switch (req.route) {
    case Route::Layout:
      return json_answer(layout);
    case Route::Tables:
      return json_answer(context.tables->tables_json());
    case Route::OpenApi: {
      Answer a = json_answer({});
      a.fixedBody = openapi_document();
      a.cacheControl = "no-cache";
      return a;
    }
    case Route::Health:
      return json_answer("{\"status\":\"ok\",\"grouper_version\":\"" +
                         std::string(kGrouperVersion) + "\"}\n");
    case Route::Metrics: {
      Answer a;
      a.contentType = "text/plain; version=0.0.4; charset=utf-8";
      a.body = context.metrics->text() + context.tables->metrics_text();
      return a;
    }
    default: {
      // Range is not taken: every answer is whole.
      const Asset* asset = find_asset(req.path);
      Answer a;
      a.contentType = std::string(asset->contentType);
      a.fixedBody = asset->body;
      a.cacheControl = "no-cache";
      a.policy = page_policy();
      return a;
    }
  }
}

// A log line's method: the request's when it is a plain upper-case word.
std::string_view shown_method(const std::string& method) {
  const bool plain =
      !method.empty() && method.size() <= 8 &&
      std::all_of(method.begin(), method.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
  return plain ? std::string_view(method) : "-";
}

}  // namespace

Route route_of(std::string_view path) {
  if (path == "/v1/group") return Route::Group;
  if (path == "/v1/group/batch") return Route::Batch;
  if (path == "/v1/explain") return Route::Explain;
  if (path == "/v1/report") return Route::Report;
  if (path == "/v1/layout") return Route::Layout;
  if (path == "/v1/tables") return Route::Tables;
  if (path == "/v1/openapi.json") return Route::OpenApi;
  if (path == "/healthz") return Route::Health;
  if (path == "/metrics") return Route::Metrics;
  if (find_asset(path) != nullptr) return Route::Page;
  return Route::Other;
}

Plan plan_request(const RouteContext& context, const Request& req) {
  Plan plan;
  const Route route = req.route;
  if (route == Route::Other) {
    plan.answer = error_answer(404, {"not_found", "no such path", {}});
    return plan;
  }
  const bool post = req.method == "POST";
  const bool allowed = takes_post(route) ? post : (req.method == "GET" || req.head);
  if (!allowed) {
    plan.answer =
        error_answer(405, {"method_not_allowed",
                           std::string("this path takes ") + (takes_post(route) ? "POST" : "GET"),
                           {}});
    plan.answer.headers =
        std::string("Allow: ") + (takes_post(route) ? "POST" : "GET, HEAD") + "\r\n";
    return plan;
  }
  if (context.token->enabled() && needs_token(route) &&
      !context.token->accepts(req.authorization)) {
    plan.answer = error_answer(
        401, {"unauthorized", "a valid bearer token is needed (Authorization: Bearer TOKEN)", {}});
    plan.answer.headers = "WWW-Authenticate: Bearer realm=\"cmg290\"\r\n";
    return plan;
  }
  if (!post) {
    plan.answer = answer_get(context, req);
    return plan;
  }
  // Refused as a 404 is: the body is dropped, the connection kept.
  BodyError optionError;
  if (!read_options(req.query, plan.options, optionError)) {
    plan.answer = error_answer(400, optionError);
    return plan;
  }
  plan.type = body_type(req.contentType);
  if (plan.type == BodyType::Unsupported) {
    plan.answer = error_answer(415, unsupported_type(), true);
    return plan;
  }
  if (route == Route::Batch) {
    // A batch's answer is streamed in chunks, and only a chunked stream's
    // end tells a whole answer from a cut one: HTTP/1.0 has neither.
    if (req.http10) {
      plan.answer = error_answer(
          426, {"http_version", "a batch's answer is streamed in chunks, which needs HTTP/1.1", {}},
          true);
      plan.answer.headers = "Upgrade: HTTP/1.1\r\nConnection: Upgrade\r\n";
      return plan;
    }
    plan.kind = Plan::Batch;
    return plan;
  }
  if (route == Route::Report) {
    // Answered whole, with its length: HTTP/1.0 is served.
    plan.kind = Plan::Report;
    return plan;
  }
  if (req.hasLength && req.length > context.maxBody) {
    plan.answer = error_answer(413, too_large(context.maxBody), true);
    return plan;
  }
  plan.kind = Plan::Single;
  plan.explain = route == Route::Explain;
  return plan;
}

Answer answer_single(const RouteContext& context, std::string_view body, BodyType type,
                     bool explain, const RequestOptions& options) {
  if (body.empty()) {
    return error_answer(400, {"missing_record", "the body is empty; send a record", {}});
  }
  thread_local std::string built;
  std::string_view record;
  if (type == BodyType::Text) {
    record = record_from_text(body);
  } else {
    BodyError error;
    if (!record_from_json(body, built, error)) return error_answer(400, error);
    record = built;
  }
  context.metrics->count_records(1);
  // Held until the answer is made, whatever a reload does meanwhile.
  const std::shared_ptr<const ServedSet> served = context.tables->current();
  const TierSet* set = served->loaded;
  if (explain) {
    return json_answer(
        explain_json(set != nullptr ? cmg290::explain(record, *set) : cmg290::explain(record)) +
        "\n");
  }
  const Result r = set != nullptr ? group(record, *set) : group(record);
  Edits edits;
  if (options.edits) {
    if (set != nullptr) {
      find_edits(record, r, *set, edits);
    } else {
      find_edits(record, r, edits);
    }
  }
  static constexpr std::string_view kEditsMember = ",\"edits\":";
  const std::string setMember = tier_set_member(set);
  std::string out(kResultJsonMaxFixed + 6 * 64 + 4 + setMember.size() +
                      (options.edits ? kEditsMember.size() + edits_json_room(edits) : 0),
                  '\0');
  char* p = out.data();
  *p++ = '{';
  p = write_result_json(p, r, status_text(r.status));
  if (options.edits) {
    std::memcpy(p, kEditsMember.data(), kEditsMember.size());
    p = write_edits_json(p + kEditsMember.size(), edits);
  }
  std::memcpy(p, setMember.data(), setMember.size());
  p += setMember.size();
  *p++ = '}';
  *p++ = '\n';
  out.resize(static_cast<std::size_t>(p - out.data()));
  return json_answer(std::move(out));
}

std::string utc_time(std::chrono::system_clock::time_point time) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count() % 1000;
  std::tm utc;
  gmtime_r(&seconds, &utc);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &utc);
  char text[40];
  std::snprintf(text, sizeof text, "%s.%03dZ", stamp, static_cast<int>(millis));
  return text;
}

// One line per request on standard error, written at once: time, client,
// method, route, status, bytes of the answer's body and microseconds. The
// route is the path for known routes and "other" for any other, so no text
// a client made up gets into the log.
void finish_request(const RouteContext& context, const Request& req, int status,
                    std::uint64_t bytes) {
  const auto us = static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - req.start).count());
  context.metrics->count_request(req.route, status, us);
  if (!context.log) return;
  const std::string stamp = utc_time(std::chrono::system_clock::now());
  const std::string_view method = shown_method(req.method);
  const std::string name(route_name(req.route));
  char line[256];
  const int n =
      std::snprintf(line, sizeof line, "%s %s %.*s %s %d %llu %lluus\n", stamp.c_str(),
                    req.remote.empty() ? "-" : req.remote.c_str(), static_cast<int>(method.size()),
                    method.data(), name.c_str(), status, static_cast<unsigned long long>(bytes),
                    static_cast<unsigned long long>(us));
  if (n > 0) {
    const ssize_t written = ::write(STDERR_FILENO, line, std::min<std::size_t>(n, sizeof line - 1));
    (void)written;
  }
}

}  // namespace cmg290::serve
