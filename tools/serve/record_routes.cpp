#include "record_routes.h"

#include <string>
#include <string_view>

#include "answers.h"
#include "batch.h"
#include "batch_pipeline.h"
#include "cmg290/cmg290.h"
#include "cmg290/explain.h"
#include "cmg290/result_json.h"
#include "direct_body.h"
#include "request_body.h"

namespace cmg290::serve {

namespace {

// Batch bodies from this size on are read from the socket directly.
constexpr long long kDirectFrom = 1 << 20;

// Feeds the body to the batch and ends the answer. Returns false when the
// answer is to be cut off.
template <class Batch>
bool stream_batch(Batch& batch, const httplib::ContentReader& body, const RouteContext& context,
                  int fd, long long length, httplib::DataSink& sink) {
  const auto feed = [&batch](const char* data, std::size_t size) { return batch.feed(data, size); };
  bool ok = true;
  if (fd < 0) {
    ok = body(feed);
  } else {
    auto left = static_cast<std::uint64_t>(length);
    ok = false;  // unless the body arrives
    body([&](const char* data, std::size_t size) {
      left -= size;
      ok = feed(data, size) && read_socket_body(fd, left, context.timeoutMs, feed);
      return false;  // the rest has been read here, or the batch ends
    });
  }
  ok = ok && batch.finish();
  RequestState& state = request_state();
  // A refused line makes the reading fail, and the server then sets 400 on
  // an answer whose status line went out long before.
  state.sentStatus = 200;
  state.streamed += batch.bytes_written();
  context.metrics->count_records(batch.records());
  if (!ok) return false;
  sink.done();
  return true;
}

}  // namespace

void answer_single(const RouteContext& context, const httplib::Request& req, httplib::Response& res,
                   const httplib::ContentReader* reader, bool explain) {
  const BodyType type = body_type(req.get_header_value("Content-Type"));
  if (type == BodyType::Unsupported) {
    return answer_error_after_body(req, res, reader, 415, unsupported_type(), kDrainLimit);
  }
  const std::size_t limit = context.maxBody;
  if (announced_length(req) > static_cast<long long>(limit)) {
    return answer_error_after_body(req, res, reader, 413, too_large(limit), kDrainLimit);
  }

  // Kept per thread, so that a kept-alive connection reuses the room.
  thread_local std::string body;
  body.clear();
  std::size_t received = 0;
  if (reader != nullptr) {
    const bool read = (*reader)([&](const char* data, std::size_t size) {
      received += size;
      if (received <= limit) body.append(data, size);
      return received <= limit + kDrainLimit;
    });
    if (received > limit) {
      if (read) return answer_error(res, 413, too_large(limit));
      return answer_and_close(req, res, 413, too_large(limit));
    }
    if (!read) {
      return answer_and_close(req, res, 400,
                              {"incomplete_body", "the body ended before its announced end", {}});
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

// The answer starts before the body is read, so a line that is refused can
// only be told in the answer itself. Its error then comes as the last line,
// and the answer is cut off without its end, so that no client takes it for
// a complete one.
void answer_batch(const RouteContext& context, const httplib::Request& req, httplib::Response& res,
                  const httplib::ContentReader* reader) {
  const BodyType type = body_type(req.get_header_value("Content-Type"));
  if (type == BodyType::Unsupported) {
    return answer_error_after_body(req, res, reader, 415, unsupported_type(), kDrainLimit);
  }
  if (reader == nullptr) {
    res.set_content("", kJsonLines);
    return;
  }
  const httplib::ContentReader body = *reader;
  const RouteContext* ctx = &context;
  // A large body with a known length over plain HTTP is read from the
  // socket itself once the library has handed over its first piece (with
  // whatever it read together with the headers).
  const long long length = announced_length(req);
  const int fd = !context.tls && length >= kDirectFrom && !req.has_header("Transfer-Encoding")
                     ? connection_socket(req)
                     : -1;
  // Large or open-ended batches are grouped on a thread of their own.
  const bool pipelined = length < 0 || length >= kDirectFrom;
  res.set_chunked_content_provider(
      kJsonLines, [body, type, ctx, fd, length, pipelined](std::size_t, httplib::DataSink& sink) {
        const BatchGrouper::Sink write = [&sink](const char* data, std::size_t size) {
          return sink.write(data, size);
        };
        try {
          if (pipelined) {
            BatchPipeline batch(type, ctx->maxBody, write);
            return stream_batch(batch, body, *ctx, fd, length, sink);
          }
          BatchGrouper batch(type, ctx->maxBody, write);
          return stream_batch(batch, body, *ctx, fd, length, sink);
        } catch (const std::exception&) {
          return false;  // out of memory or no thread: the answer is cut off
        }
      });
}

}  // namespace cmg290::serve
