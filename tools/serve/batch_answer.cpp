// POST /v1/group/batch on a connection: the body is read a block at a time,
// and each block is grouped on a worker thread while the next one is read;
// the results go out as chunks of the answer.
#include <boost/asio/post.hpp>
#include <boost/asio/redirect_error.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/beast/ssl/ssl_stream.hpp>

#include <cstdio>
#include <memory>

#include "batch.h"
#include "connection.h"

namespace cmg290::serve {

using asio::awaitable;
using asio::redirect_error;
using asio::use_awaitable;

namespace {

// Bytes of the body grouped at a time: from the first, doubled each time a
// read fills the block, up to the largest. A client sending slowly keeps
// small blocks.
constexpr std::size_t kFirstBlock = 16 * 1024;
constexpr std::size_t kBatchBlock = 128 * 1024;

// A block being grouped on a worker thread, and its results.
struct Job {
  // Room for the block (not a string: resizing one fills it with zeros).
  std::unique_ptr<char[]> block;
  std::size_t room = 0;
  std::size_t size = 0;
  std::string out;
  bool ok = true;       // no line refused
  bool failed = false;  // could not be grouped (out of memory)
  bool done = true;
};

const std::string& continue_line() {
  static const std::string line = "HTTP/1.1 100 Continue\r\n\r\n";
  return line;
}

std::string chunk_size(std::size_t n) {
  char text[24];
  const int length = std::snprintf(text, sizeof text, "%zx\r\n", n);
  return std::string(text, static_cast<std::size_t>(length));
}

}  // namespace

// The answer starts before the body is read, so a line that is refused can
// only be told in the answer itself. Its error then comes as the last line,
// and the answer is cut off without its end, so that no client takes it for
// a complete one; the request log and the metrics count it by the fault
// (400, or 413 for a line too long; 408 when the client stalled, 499 when it
// went away, 503 when the server stopped first).
template <class Stream>
awaitable<bool> Connection<Stream>::serve_batch(Request& req, const Plan& plan) {
  if (req.expectContinue && !co_await write(continue_line())) co_return false;
  const auto executor = co_await asio::this_coro::executor;
  asio::steady_timer signal(executor, asio::steady_timer::time_point::max());
  std::string* target = nullptr;
  BatchGrouper grouper(plan.type, context().maxBody, [&target](const char* data, std::size_t size) {
    target->append(data, size);
    return true;
  });
  Job jobs[2];
  std::size_t blockSize = kFirstBlock;
  int current = 0;
  bool running = false;
  bool headSent = false;
  bool complete = false;
  int status = 200;
  std::uint64_t sent = 0;

  Answer head;
  head.contentType = kJsonLines;
  // Sends results as a chunk, with the answer's head before the first and
  // the end mark after the last.
  auto send = [&](const std::string& out, bool last) -> awaitable<bool> {
    std::string prefix;
    if (!headSent) prefix = answer_head(head, 0, true);
    if (!out.empty()) prefix += chunk_size(out.size());
    const std::string_view suffix =
        out.empty() ? (last ? "0\r\n\r\n" : "") : (last ? "\r\n0\r\n\r\n" : "\r\n");
    tcp().expires_after(shared_.timeout);
    const bool ok = co_await write(prefix, out, suffix);
    headSent = true;
    if (ok) sent += out.size();
    co_return ok;
  };
  // The status a batch cut off by the connection is counted with.
  auto failure = [this](const beast::error_code& ec) {
    if (shared_.cut) return 503;
    return ec == beast::error::timeout ? 408 : 499;
  };

  for (;;) {
    Job& job = jobs[current];
    if (job.room < blockSize) {
      job.block.reset(new char[blockSize]);
      job.room = blockSize;
    }
    tcp().expires_after(shared_.timeout);
    beast::error_code ec;
    const std::size_t n = co_await read_body(job.block.get(), blockSize, ec);
    if (n == blockSize && blockSize < kBatchBlock) blockSize *= 2;
    if (running) {
      Job& last = jobs[1 - current];
      beast::error_code woken;
      while (!last.done) co_await signal.async_wait(redirect_error(use_awaitable, woken));
      running = false;
      if (last.failed) {
        status = 500;
        break;
      }
      if (!last.out.empty() && !co_await send(last.out, false)) {
        status = failure(lastError_);
        break;
      }
      if (!last.ok) {
        status = grouper.refused_code() == "too_large" ? 413 : 400;
        break;
      }
    }
    if (ec) {
      const bool stalledOrGone =
          ec == beast::error::timeout || ec == asio::error::operation_aborted ||
          ec == asio::error::connection_reset || ec == asio::error::bad_descriptor;
      status = stalledOrGone ? failure(ec) : 400;
      if (status == 400) {
        const std::string error =
            error_json({"incomplete_body",
                        "the body ended before its announced end, or its chunks are malformed",
                        {}}) +
            "\n";
        co_await send(error, false);
      }
      break;
    }
    if (n == 0) {
      job.out.clear();
      target = &job.out;
      const bool ok = grouper.finish();
      if (!ok) status = grouper.refused_code() == "too_large" ? 413 : 400;
      complete = co_await send(job.out, ok);
      if (!complete) status = failure(lastError_);
      complete = complete && ok;
      break;
    }
    job.size = n;
    job.out.clear();
    job.done = false;
    target = &job.out;
    running = true;
    asio::post(*shared_.workers, [&job, &grouper, &signal, executor] {
      try {
        job.ok = grouper.feed(job.block.get(), job.size) && grouper.flush();
      } catch (const std::exception&) {
        job.failed = true;
      }
      asio::post(executor, [&job, &signal] {
        job.done = true;
        signal.cancel();
      });
    });
    current = 1 - current;
  }
  context().metrics->count_records(grouper.records());
  finish_request(context(), req, complete ? 200 : status, sent);
  if (!complete) linger_ = true;
  co_return complete&& req.keepAlive && !shared_.stopping;
}

template awaitable<bool> Connection<beast::tcp_stream>::serve_batch(Request&, const Plan&);
template awaitable<bool> Connection<beast::ssl_stream<beast::tcp_stream>>::serve_batch(Request&,
                                                                                       const Plan&);

}  // namespace cmg290::serve
