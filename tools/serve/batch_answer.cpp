// POST /v1/group/batch on a connection. Three things go on at once: the body
// is read a block at a time, each block is grouped on a worker thread, and
// the results are written as chunks of the answer as soon as they are
// grouped. What a batch holds is bounded by its block size (batch_share.h):
// a block of the body being grouped (and one read ahead, with a share of the
// budget); and on the answer's side the results being written and those
// grouped meanwhile, grouping pausing once they reach a block's size until
// the client has taken the ones before. A paused batch holds no thread: its
// worker serves other connections.
#include <utility>  // before Asio 1.74's awaitable.hpp, which uses std::exchange without it

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/redirect_error.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/beast/ssl/ssl_stream.hpp>

#include <cstdio>
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "batch.h"
#include "batch_share.h"
#include "connection.h"
#include "served_tables.h"

namespace cmg290::serve {

using asio::awaitable;
using asio::redirect_error;
using asio::use_awaitable;

namespace {

// A block read from the body, grouped on a worker thread a slice at a time.
struct Block {
  // Room for the bytes (not a string: resizing one fills it with zeros).
  std::unique_ptr<char[]> data;
  std::size_t room = 0;
  std::size_t size = 0;
  std::size_t taken = 0;  // grouped so far
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

// Wakes a coroutine waiting on `timer` (if one is).
void wake(asio::steady_timer& timer) {
  timer.cancel();
}

awaitable<void> wait(asio::steady_timer& timer) {
  beast::error_code woken;
  timer.expires_at(asio::steady_timer::time_point::max());
  co_await timer.async_wait(redirect_error(use_awaitable, woken));
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
  // Results are held for the answer and taken from the grouper (take()):
  // it never delivers them itself.
  BatchGrouper grouper(
      plan.type, context().maxBody, [](const char*, std::size_t) { return true; }, served->loaded,
      plan.options.edits);
  // The slices of this batch are grouped one after the other, in order.
  auto strand = asio::make_strand(*shared_.workers);
  asio::steady_timer readerSignal(executor), writerSignal(executor);
  LargeShare share;
  std::size_t blockSize = kSmallBlock;
  std::unique_ptr<Block> current;  // being grouped, or paused
  std::unique_ptr<Block> next;     // read ahead
  std::unique_ptr<Block> spare;
  std::string ready;      // grouped, waiting for the writer (grouping paused meanwhile)
  std::string sending;    // being written
  bool grouping = false;  // a slice on a worker thread; it alone touches `ready` and the grouper
  bool reading = false;
  bool writing = false;
  bool ended = false;    // the body has been read, or could not be
  bool closing = false;  // the writer is to end once it has nothing to write
  bool writerDone = false;
  bool broken = false;  // a write failed: nothing more can be sent
  int fault = 0;        // 500, or 400 or 413 for a refused line
  beast::error_code readError, writeError;
  bool headSent = false;
  bool complete = false;
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
  auto stopped = [&] { return fault != 0 || broken; };

  // Moves things on whenever a read, a slice or a write is done: hands
  // grouped results to the writer, and groups the next slice once the ones
  // before are being written.
  std::function<void()> pump = [&] {
    if (grouping) return;
    if (!ready.empty() && sending.empty() && !writing && !broken) {
      ready.swap(sending);
      wake(writerSignal);
    }
    if (stopped()) {
      // A read still waiting for the client is of no use any more.
      const bool quiet = !writing && (broken || (ready.empty() && sending.empty()));
      if (reading && quiet) tcp().cancel();
      wake(readerSignal);
      return;
    }
    if (!ready.empty()) return;  // paused until the client takes the results before
    if (current && current->taken == current->size) {
      spare = std::move(current);
      current = std::move(next);
      wake(readerSignal);
    }
    if (!current) {
      wake(readerSignal);
      return;
    }
    Block* const block = current.get();
    // The room for the results is taken here, on the connection's thread,
    // where it is given back.
    try {
      grouper.reserve(block->room);
    } catch (const std::exception&) {
      fault = 500;  // out of memory
      pump();
      return;
    }
    grouping = true;
    asio::post(strand, [block, &grouper, &ready, &grouping, &fault, &pump, executor] {
      bool failed = false;
      try {
        block->taken += grouper.feed_some(block->data.get() + block->taken,
                                          block->size - block->taken, block->room);
        grouper.take(ready);
      } catch (const std::exception&) {
        failed = true;  // out of memory
      }
      asio::post(executor, [failed, &grouper, &grouping, &fault, &pump] {
        grouping = false;
        if (failed) {
          fault = 500;
        } else if (grouper.ended()) {
          fault = grouper.refused_code() == "too_large" ? 413 : 400;
        }
        pump();
      });
    });
  };

  auto writer = [&]() -> awaitable<void> {
    for (;;) {
      while (sending.empty() && !closing) co_await wait(writerSignal);
      if (sending.empty()) co_return;
      writing = true;
      const bool ok = co_await send(sending, false);
      writing = false;
      // Without a share, a batch keeps no room for results between chunks.
      if (share.held()) {
        sending.clear();
      } else {
        std::string().swap(sending);
      }
      if (!ok) {
        broken = true;
        writeError = lastError_;
      }
      pump();
      if (!ok) co_return;
    }
  };
  asio::co_spawn(executor, writer(), [&](std::exception_ptr) {
    writerDone = true;
    broken = broken || !closing;
    wake(readerSignal);
  });

  // Reads the body, a block at a time: with a share, one ahead of the one
  // being grouped; without, once it has been grouped.
  while (!ended) {
    while ((next || (current && !share.held())) && !stopped()) co_await wait(readerSignal);
    if (stopped()) break;
    std::unique_ptr<Block> block = std::move(spare);
    try {
      if (!block) block = std::make_unique<Block>();
      if (block->room < blockSize) {
        block->data.reset(new char[blockSize]);
        block->room = blockSize;
      }
    } catch (const std::exception&) {
      fault = 500;
      break;
    }
    tcp().expires_after(shared_.timeout);
    reading = true;
    block->size = co_await read_body(block->data.get(), block->room, readError);
    reading = false;
    // A client sending faster than the batch takes its blocks gets larger
    // ones, while the budget has a share for it.
    if (block->size == block->room && blockSize < kLargeBlock && share.take()) blockSize *= 2;
    block->taken = 0;
    if (block->size == 0) {
      ended = true;
      spare = std::move(block);
    } else if (stopped()) {
      break;
    } else {
      (current ? next : current) = std::move(block);
    }
    pump();
  }
  // Every result grouped is written, unless writing failed. (`ready` is
  // the worker's while a slice is grouped: looked at only after.)
  for (;;) {
    if (!grouping && (broken || (ready.empty() && sending.empty() && !writing &&
                                 (stopped() || (!current && !next))))) {
      break;
    }
    co_await wait(readerSignal);
  }
  closing = true;
  wake(writerSignal);
  while (!writerDone) co_await wait(readerSignal);

  int status = fault;
  if (status == 0 && broken) {
    // A read that timed out closes the connection, and so fails the write
    // under way: the stall is the cause.
    status = failure(readError == beast::error::timeout ? readError : writeError);
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
    const bool ok = grouper.end_input();
    grouper.take(tail);
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
