#include "chunk_queue.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <new>
#include <thread>

namespace cmg290::cli::batch {

ChunkQueue::ChunkQueue(const std::vector<std::unique_ptr<Input>>& inputs, std::size_t chunks,
                       std::size_t keepBytes)
    : reader_(inputs, chunks, keepBytes) {
  slots_.assign(chunks, nullptr);
  free_.reserve(chunks);
}

void ChunkQueue::add(QueuedChunk& c) {
  reader_.equip(c, added_++);
  free_.push_back(&c);
}

template <typename Body>
void ChunkQueue::guarded(Body&& body) noexcept {
  try {
    body();
  } catch (const std::bad_alloc&) {
    fail_noexcept("out of memory");
  } catch (const std::exception& e) {
    fail_noexcept(e.what());
  } catch (...) {
    fail_noexcept("unexpected error");
  }
}

bool ChunkQueue::run(unsigned workers, const std::function<void(unsigned)>& work,
                     const std::function<bool()>& take) {
  if (pipe2(wake_, O_CLOEXEC) != 0) {
    const int err = errno;
    error_ = std::string("cannot start: ") + std::strerror(err);
    return false;
  }
  std::thread reader;
  std::vector<std::thread> threads;
  auto finish = [&] {
    if (reader.joinable()) reader.join();
    for (std::thread& t : threads) t.join();
    close(wake_[0]);
    close(wake_[1]);
  };
  try {
    reader = std::thread([this] { guarded([this] { read_all(); }); });
    for (unsigned i = 0; i < workers; ++i) {
      threads.emplace_back([this, &work, i] { guarded([&work, i] { work(i); }); });
    }
  } catch (...) {
    stop();
    finish();
    throw;
  }
  bool complete = false;
  guarded([&] { complete = take(); });
  if (!complete) stop();
  finish();
  return complete;
}

void ChunkQueue::stop() {
  std::lock_guard lock(m_);
  if (stop_) return;
  stop_ = true;
  const char byte = 0;
  [[maybe_unused]] const ssize_t n = ::write(wake_[1], &byte, 1);
  cvFree_.notify_all();
  cvWork_.notify_all();
  cvTurn_.notify_all();
  cvDone_.notify_all();
}

void ChunkQueue::fail_noexcept(const char* message) noexcept {
  try {
    fail(message);
  } catch (...) {
    // No memory even for the message: stop with a fixed one.
    {
      std::lock_guard lock(m_);
      outOfMemory_ = true;
    }
    stop();
  }
}

void ChunkQueue::fail(std::string message) {
  {
    std::lock_guard lock(m_);
    if (error_.empty()) error_ = std::move(message);
  }
  stop();
}

// ---- worker threads ----

QueuedChunk* ChunkQueue::next_work() {
  std::unique_lock lock(m_);
  cvWork_.wait(lock, [this] { return stop_ || !work_.empty() || readerDone_; });
  if (stop_ || work_.empty()) return nullptr;
  QueuedChunk* c = work_.front();
  work_.pop_front();
  return c;
}

void ChunkQueue::finish(QueuedChunk& c) {
  std::lock_guard lock(m_);
  c.done = true;
  wake_taker(c);
}

// ---- reader thread ----

InputChunk* ChunkQueue::acquire() {
  std::unique_lock lock(m_);
  cvFree_.wait(lock, [this] { return stop_ || !free_.empty(); });
  if (stop_) return nullptr;
  QueuedChunk* c = free_.back();
  free_.pop_back();
  return c;
}

void ChunkQueue::release(InputChunk* c) {
  reader_.unmap(*c);
  std::lock_guard lock(m_);
  free_.push_back(static_cast<QueuedChunk*>(c));
  cvFree_.notify_one();
}

void ChunkQueue::submit(InputChunk* chunk) {
  auto* c = static_cast<QueuedChunk*>(chunk);
  std::lock_guard lock(m_);
  c->seq = nextSeq_++;
  c->done = false;
  slots_[c->seq % slots_.size()] = c;
  work_.push_back(c);
  cvWork_.notify_one();
}

void ChunkQueue::read_all() {
  reader_.read_all(*this, wake_[0]);
  std::lock_guard lock(m_);
  readerDone_ = true;
  totalSeq_ = nextSeq_;
  cvWork_.notify_all();
  cvDone_.notify_all();
}

}  // namespace cmg290::cli::batch
