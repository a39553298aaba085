// POST /v1/group/batch on a connection: the body is read a block at a time,
// and each block is grouped on a worker thread while the next one is read;
// the results go out as chunks of the answer.
#include <boost/asio/post.hpp>
#include <boost/asio/redirect_error.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/beast/ssl/ssl_stream.hpp>

#include <cstdio>
#include <deque>
#include <memory>
#include <vector>

#include "batch.h"
#include "connection.h"
#include "served_tables.h"

namespace cmg290::serve {

using asio::awaitable;
using asio::redirect_error;
using asio::use_awaitable;

namespace {

// Bytes of the body grouped at a time: from the first, doubled each time a
// read fills the block, up to the largest. A client sending slowly keeps
// small blocks.
constexpr std::size_t kFirstBlock = 16 * 1024;
constexpr std::size_t kBatchBlock = 256 * 1024;
// Blocks read ahead of the one being sent: the worker groups them one after
// the other without waiting for the connection.
constexpr std::size_t kQueued = 3;

// A block read from the body, grouped on a worker thread, and its results.
struct Block {
  // Room for the bytes (not a string: resizing one fills it with zeros).
  std::unique_ptr<char[]> data;
  std::size_t room = 0;
  std::size_t size = 0;
  std::string out;
  bool ok = true;       // no line refused
  bool failed = false;  // could not be grouped (out of memory)
  bool done = false;
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
  // The whole batch groups with the set in use when it started; a reload
  // meanwhile serves the requests that come after it.
  const std::shared_ptr<const ServedSet> served = context().tables->current();
  if (req.expectContinue && !co_await write(continue_line())) co_return false;
  const auto executor = co_await asio::this_coro::executor;
  asio::steady_timer signal(executor, asio::steady_timer::time_point::max());
  std::string* target = nullptr;
  BatchGrouper grouper(
      plan.type, context().maxBody,
      [&target](const char* data, std::size_t size) {
        target->append(data, size);
        return true;
      },
      served->loaded, plan.options.edits);
  // The blocks of this batch are grouped one after the other, in order.
  auto strand = asio::make_strand(*shared_.workers);
  std::deque<std::unique_ptr<Block>> queued;  // read, in order; grouped or being grouped
  std::vector<std::unique_ptr<Block>> spare;
  std::size_t blockSize = kFirstBlock;
  bool ended = false;  // the body has been read, or could not be
  beast::error_code readError;
  bool headSent = false;
  bool complete = false;
  int status = 0;  // set once the batch is to end early
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
    // Results go out in the order of their blocks.
    while (!queued.empty() && queued.front()->done) {
      std::unique_ptr<Block> block = std::move(queued.front());
      queued.pop_front();
      if (status != 0) {
        // The batch has ended: what is left is dropped.
      } else if (block->failed) {
        status = 500;
      } else if (!block->out.empty() && !co_await send(block->out, false)) {
        status = failure(lastError_);
      } else if (!block->ok) {
        status = grouper.refused_code() == "too_large" ? 413 : 400;
      }
      spare.push_back(std::move(block));
    }
    const bool waitForWorker =
        !queued.empty() && (status != 0 || ended || queued.size() >= kQueued);
    if (waitForWorker) {
      beast::error_code woken;
      signal.expires_at(asio::steady_timer::time_point::max());
      co_await signal.async_wait(redirect_error(use_awaitable, woken));
      continue;
    }
    if (status != 0 || ended) break;

    std::unique_ptr<Block> block;
    if (!spare.empty()) {
      block = std::move(spare.back());
      spare.pop_back();
    } else {
      block = std::make_unique<Block>();
    }
    if (block->room < blockSize) {
      block->data.reset(new char[blockSize]);
      block->room = blockSize;
    }
    tcp().expires_after(shared_.timeout);
    block->size = co_await read_body(block->data.get(), blockSize, readError);
    if (block->size == blockSize && blockSize < kBatchBlock) blockSize *= 2;
    if (block->size == 0) {
      ended = true;
      spare.push_back(std::move(block));
      continue;
    }
    block->out.clear();
    block->ok = true;
    block->done = false;
    Block* job = block.get();
    queued.push_back(std::move(block));
    asio::post(strand, [job, &grouper, &target, &signal, executor] {
      try {
        target = &job->out;
        job->ok = grouper.feed(job->data.get(), job->size) && grouper.flush();
      } catch (const std::exception&) {
        job->failed = true;
      }
      asio::post(executor, [job, &signal] {
        job->done = true;
        signal.cancel();
      });
    });
  }
  if (status == 0 && readError) {
    const bool stalledOrGone =
        readError == beast::error::timeout || readError == asio::error::operation_aborted ||
        readError == asio::error::connection_reset || readError == asio::error::bad_descriptor;
    status = stalledOrGone ? failure(readError) : 400;
    if (status == 400) {
      const std::string error =
          error_json({"incomplete_body",
                      "the body ended before its announced end, or its chunks are malformed",
                      {}}) +
          "\n";
      co_await send(error, false);
    }
  }
  if (status == 0) {
    std::string tail;
    target = &tail;
    const bool ok = grouper.finish();
    complete = co_await send(tail, ok);
    status = !complete                               ? failure(lastError_)
             : ok                                    ? 200
             : grouper.refused_code() == "too_large" ? 413
                                                     : 400;
    complete = complete && ok;
  }
  context().metrics->count_records(grouper.records());
  finish_request(context(), req, status, sent);
  if (!complete) linger_ = true;
  co_return complete&& req.keepAlive && !shared_.stopping;
}

template awaitable<bool> Connection<beast::tcp_stream>::serve_batch(Request&, const Plan&);
template awaitable<bool> Connection<beast::ssl_stream<beast::tcp_stream>>::serve_batch(Request&,
                                                                                       const Plan&);

}  // namespace cmg290::serve
