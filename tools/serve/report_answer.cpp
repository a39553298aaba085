// POST /v1/report on a connection: the body is read a block at a time and
// each block is counted on a worker thread (in order, on a strand) while the
// next one is read. The answer, the report's JSON or its page, is built on
// the worker once the whole body is in; a body that is cut, too slow or
// holds a refused line gets its error instead, never part of a report.
#include <boost/asio/post.hpp>
#include <boost/asio/redirect_error.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/beast/ssl/ssl_stream.hpp>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "batch.h"
#include "connection.h"
#include "report/html_writer.h"
#include "report/json_writer.h"
#include "report_counter.h"
#include "served_tables.h"

namespace cmg290::serve {

using asio::awaitable;
using asio::redirect_error;
using asio::use_awaitable;

namespace {

// Bytes of the body counted at a time, and blocks read ahead of the one
// being counted.
constexpr std::size_t kReportBlock = 64 * 1024;
constexpr std::size_t kQueued = 3;

struct Piece {
  std::unique_ptr<char[]> data{new char[kReportBlock]};
  std::size_t size = 0;
  bool ok = true;       // no line refused
  bool failed = false;  // could not be counted (out of memory)
  bool done = false;
  bool stop = false;  // ok or failed: the request has ended
};

Answer refused_line(const ReportCounter& counter) {
  Answer a;
  a.status = counter.error().code == "too_large" ? 413 : 400;
  a.contentType = kJson;
  a.body = error_json(counter.error(), counter.error_line()) + "\n";
  a.close = true;
  return a;
}

// The report, once the whole body has been counted.
Answer report_answer(ReportCounter& counter, bool html) {
  if (!counter.finish()) return refused_line(counter);
  if (counter.records() == 0) {
    return error_answer(
        422, {"no_records", "the body holds no records: there is nothing to report", {}});
  }
  cli::report::Figures figures;
  counter.figures(figures);
  Answer a;
  if (html) {
    a.contentType = "text/html; charset=utf-8";
    a.body = cli::report::report_html(figures);
    a.policy = kReportPolicy;
  } else {
    a.contentType = kJson;
    a.body = cli::report::report_json(figures);
  }
  return a;
}

}  // namespace

template <class Stream>
awaitable<bool> Connection<Stream>::serve_report(Request& req, const Plan& plan) {
  // Counted with the set in use when the request started, whatever a
  // reload does meanwhile.
  const std::shared_ptr<const ServedSet> served = context().tables->current();
  const std::shared_ptr<const TierSet> set = served->set ? served->set : TierSet::compiled();
  // (A string that outlives the statement: g++ 12 frees temporaries of a
  // conditional around a co_await twice.)
  static const std::string kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
  if (req.expectContinue && !co_await write(kContinue)) co_return false;
  const auto executor = co_await asio::this_coro::executor;
  asio::steady_timer signal(executor, asio::steady_timer::time_point::max());
  auto counter =
      std::make_unique<ReportCounter>(plan.type, context().maxBody, *set, context().weights);
  auto strand = asio::make_strand(*shared_.workers);
  std::deque<std::unique_ptr<Piece>> queued;  // read, in order; counted or being counted
  std::vector<std::unique_ptr<Piece>> spare;
  bool ended = false;  // the body has been read, or could not be
  beast::error_code readError;
  std::optional<Answer> answer;  // set once the request is to end early

  // Runs `job` on the strand (after the blocks posted before it) and marks
  // `done` back on this thread. With `stopRead`, a read of the body that is
  // waiting is cancelled once the job has ended the request: a refused line
  // is answered at once, not once the client has sent what follows it.
  auto post_job = [&](std::function<void()> job, bool& done, const bool* stopRead = nullptr) {
    asio::post(strand, [this, job = std::move(job), &done, stopRead, &signal, executor] {
      job();
      asio::post(executor, [this, &done, stopRead, &signal] {
        done = true;
        if (stopRead != nullptr && *stopRead) tcp().socket().cancel();
        signal.cancel();
      });
    });
  };
  auto wait = [&]() -> awaitable<void> {
    beast::error_code woken;
    signal.expires_at(asio::steady_timer::time_point::max());
    co_await signal.async_wait(redirect_error(use_awaitable, woken));
  };

  for (;;) {
    while (!queued.empty() && queued.front()->done) {
      std::unique_ptr<Piece> piece = std::move(queued.front());
      queued.pop_front();
      if (answer) {
        // The request has ended: what is left is dropped.
      } else if (piece->failed) {
        answer = error_answer(500, {"internal_error", "the request could not be served", {}}, true);
      } else if (!piece->ok) {
        answer = refused_line(*counter);
      }
      spare.push_back(std::move(piece));
    }
    const bool stop = answer.has_value() || ended;
    if (!queued.empty() && (stop || queued.size() >= kQueued)) {
      co_await wait();
      continue;
    }
    if (stop) break;

    std::unique_ptr<Piece> piece;
    if (!spare.empty()) {
      piece = std::move(spare.back());
      spare.pop_back();
    } else {
      piece = std::make_unique<Piece>();
    }
    tcp().expires_after(shared_.timeout);
    piece->size = co_await read_body(piece->data.get(), kReportBlock, readError);
    if (piece->size == 0) {
      ended = true;
      spare.push_back(std::move(piece));
      continue;
    }
    piece->ok = true;
    piece->failed = false;
    piece->done = false;
    piece->stop = false;
    Piece* job = piece.get();
    queued.push_back(std::move(piece));
    post_job(
        [job, &counter] {
          try {
            job->ok = counter->feed(job->data.get(), job->size);
          } catch (const std::exception&) {
            job->failed = true;
          }
          job->stop = !job->ok || job->failed;
        },
        job->done, &job->stop);
  }
  if (!answer && readError) {
    if (readError == beast::error::timeout || readError == asio::error::operation_aborted ||
        shared_.cut) {
      // Too slow (or the server stopped): no answer, as for a single call.
      context().metrics->count_records(counter->records());
      finish_request(context(), req, shared_.cut ? 503 : 408, 0);
      co_return false;
    }
    answer = error_answer(400,
                          {"incomplete_body",
                           "the body ended before its announced end, or its chunks are malformed",
                           {}},
                          true);
  }
  if (!answer) {
    bool built = false;
    const bool html = req.acceptsHtml;
    post_job(
        [&] {
          try {
            answer = report_answer(*counter, html);
          } catch (const std::exception&) {
            answer =
                error_answer(500, {"internal_error", "the request could not be served", {}}, true);
          }
        },
        built);
    while (!built) co_await wait();
  }
  context().metrics->count_records(counter->records());
  if (shared_.stopping || !req.keepAlive) answer->close = true;
  const bool sent = co_await send_answer(req, *answer);
  co_return sent && !answer->close;
}

template awaitable<bool> Connection<beast::tcp_stream>::serve_report(Request&, const Plan&);
template awaitable<bool> Connection<beast::ssl_stream<beast::tcp_stream>>::serve_report(
    Request&, const Plan&);

}  // namespace cmg290::serve
