// The threads of a run over the inputs of `cmg290 group` or `cmg290
// compare`: a reader cuts the inputs into chunks of whole lines
// (chunk_reader.h), workers take them in turn, and the calling thread takes
// them back in input order, then gives them back to the reader. A fixed
// number of chunks circulates between them, so memory stays bounded
// whatever the size of the input.
//
// The chunks are the caller's, types derived from QueuedChunk with what its
// workers make of them. The queue's lock also guards what the caller keeps
// beside it (lock()), and waits for a turn among the workers (wait_turn())
// end when the run stops.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "chunk_reader.h"
#include "record_inputs.h"

namespace cmg290::cli::batch {

// A chunk as the queue hands it round.
struct QueuedChunk : InputChunk {
  std::uint64_t seq = 0;  // position in the stream of chunks
  bool done = false;      // its worker is through with it (under the lock)
};

class ChunkQueue : private ChunkReader::Slots {
 public:
  // For `chunks` chunks; a line longer than a chunk keeps its first
  // keepBytes.
  ChunkQueue(const std::vector<std::unique_ptr<Input>>& inputs, std::size_t chunks,
             std::size_t keepBytes);

  const ChunkReader& reader() const { return reader_; }

  // Gives the queue one of its chunks, before run().
  void add(QueuedChunk& c);

  // Runs the reader and `workers` threads, each calling work(i), while the
  // calling thread runs take(), which returns whether the run went to its
  // end. An exception in any of them stops the run and becomes its error().
  // Returns what take() returned once every thread has ended; throws when a
  // thread cannot be started (after ending those that were).
  bool run(unsigned workers, const std::function<void(unsigned)>& work,
           const std::function<bool()>& take);

  // ---- worker threads ----

  // The next chunk to work on; null once the run stops or every chunk has
  // been taken.
  QueuedChunk* next_work();
  // Marks c done and wakes the taker if it waits for c.
  void finish(QueuedChunk& c);

  // The lock over the queue and what the caller keeps beside it.
  std::unique_lock<std::mutex> lock() { return std::unique_lock(m_); }
  // Waits, holding `lock`, for the caller's turn `ready()`; false when the
  // run stopped first.
  template <typename Ready>
  bool wait_turn(std::unique_lock<std::mutex>& lock, Ready ready) {
    cvTurn_.wait(lock, [&] { return stop_ || ready(); });
    return !stop_;
  }
  // Under the lock: wakes every waiter for a turn.
  void notify_turns() { cvTurn_.notify_all(); }
  // Under the lock: wakes the taker if it waits for chunk c.
  void wake_taker(const QueuedChunk& c) {
    if (awaited_ == c.seq) cvDone_.notify_one();
  }

  // ---- the calling thread ----

  // Chunk number `seq` once ready(chunk) holds under the lock (by default
  // once done). Null when the run stops, or with `end` set when `seq` is
  // past the last chunk.
  template <typename Ready>
  QueuedChunk* take(std::uint64_t seq, Ready ready, bool& end);
  QueuedChunk* take(std::uint64_t seq, bool& end) {
    return take(
        seq, [](const QueuedChunk& c) { return c.done; }, end);
  }
  // Gives a taken chunk back to the reader.
  void give_back(QueuedChunk& c) { release(&c); }

  // ---- any thread ----

  // Stops the run: every wait ends, the reader's too.
  void stop();
  // Stops the run with a one-line message; the first one stays.
  void fail(std::string message) override;
  // The message that stopped the run; empty when none did.
  std::string error() const { return outOfMemory_ && error_.empty() ? "out of memory" : error_; }

 private:
  InputChunk* acquire() override;
  void release(InputChunk* c) override;
  void submit(InputChunk* c) override;
  void read_all();

  // Runs one thread's part. An exception must not escape while the other
  // threads still run: it stops them all and becomes the run's error.
  template <typename Body>
  void guarded(Body&& body) noexcept;
  void fail_noexcept(const char* message) noexcept;

  ChunkReader reader_;
  std::size_t added_ = 0;
  int wake_[2] = {-1, -1};

  std::mutex m_;
  std::condition_variable cvFree_, cvWork_, cvTurn_, cvDone_;
  std::vector<QueuedChunk*> free_;
  std::deque<QueuedChunk*> work_;
  std::vector<QueuedChunk*> slots_;  // handed-on chunks by seq modulo their number
  std::uint64_t nextSeq_ = 0;
  std::uint64_t totalSeq_ = 0;
  bool readerDone_ = false;
  // The chunk the taker waits for; workers wake it for that one only.
  std::uint64_t awaited_ = UINT64_MAX;
  bool stop_ = false;
  bool outOfMemory_ = false;  // failed without room for a message
  std::string error_;
};

template <typename Ready>
QueuedChunk* ChunkQueue::take(std::uint64_t seq, Ready ready, bool& end) {
  end = false;
  std::unique_lock lock(m_);
  const std::size_t slot = seq % slots_.size();
  awaited_ = seq;
  cvDone_.wait(lock, [&] {
    const QueuedChunk* s = slots_[slot];
    return stop_ || (s != nullptr && s->seq == seq && ready(*s)) ||
           (readerDone_ && seq == totalSeq_);
  });
  if (stop_) return nullptr;
  if (readerDone_ && seq == totalSeq_) {
    end = true;
    return nullptr;
  }
  QueuedChunk* c = slots_[slot];
  slots_[slot] = nullptr;
  return c;
}

}  // namespace cmg290::cli::batch
