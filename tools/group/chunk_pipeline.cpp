// The chunk pipeline's construction, its run and stop, and the reader
// thread's hand in it: taking free chunks and handing on filled ones.
#include "chunk_pipeline.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <new>
#include <thread>

namespace cmg290::cli::batch {

Pipeline::Pipeline(const GroupOptions& options, const RowFormatter& formatter,
                   const SetGrouper& grouper, std::vector<std::unique_ptr<Input>>& inputs,
                   OutputFile& output, Progress& progress)
    : options_(options),
      fmt_(formatter),
      grouper_(grouper),
      inputs_(inputs),
      output_(output),
      progress_(progress),
      // The head kept of a line longer than a chunk: the record positions
      // and the id (--id ends within 64 KiB, well inside the smallest chunk).
      reader_(inputs, options.threads + 3,
              std::max<std::size_t>(cmg290::kRecordLength, options.idStart + options.idLength)) {
  const std::size_t chunks = options.threads + 3;
  outCapacity_ = reader_.chunk_bytes() + fmt_.max_row_size();
  for (std::size_t i = 0; i < chunks; ++i) {
    auto c = std::make_unique<Chunk>();
    reader_.equip(*c, i);
    c->out.reset(new char[outCapacity_]);
    if (options.edits) {
      c->keptEdits.reset(new Edit[kKeptEdits]);
      c->editsAt.reset(new std::uint32_t[kNotedLineEnds]);
      c->editCount.reset(new std::uint8_t[kNotedLineEnds]);
    }
    free_.push_back(c.get());
    chunks_.push_back(std::move(c));
  }
  slots_.assign(chunks, nullptr);
}

template <typename Body>
void Pipeline::guarded(Body&& body) noexcept {
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

void Pipeline::run() {
  if (pipe2(wake_, O_CLOEXEC) != 0) {
    const int err = errno;
    error_ = std::string("cannot start: ") + std::strerror(err);
    return;
  }
  std::thread reader;
  std::vector<std::thread> workers;
  auto finish = [&] {
    if (reader.joinable()) reader.join();
    for (std::thread& w : workers) w.join();
    close(wake_[0]);
    close(wake_[1]);
  };
  try {
    reader = std::thread([this] { guarded([this] { read_all(); }); });
    for (unsigned i = 0; i < options_.threads; ++i) {
      workers.emplace_back([this] { guarded([this] { work(); }); });
    }
  } catch (...) {
    stop();
    finish();
    throw;
  }

  bool complete = false;
  guarded([&] { complete = write_all(); });
  if (!complete) stop();
  finish();
}

void Pipeline::stop() {
  std::lock_guard lock(m_);
  if (stop_) return;
  stop_ = true;
  const char byte = 0;
  [[maybe_unused]] const ssize_t n = ::write(wake_[1], &byte, 1);
  cvFree_.notify_all();
  cvWork_.notify_all();
  cvLines_.notify_all();
  cvDone_.notify_all();
}

void Pipeline::fail_noexcept(const char* message) noexcept {
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

void Pipeline::fail(std::string message) {
  {
    std::lock_guard lock(m_);
    if (error_.empty()) error_ = std::move(message);
  }
  stop();
}

// ---- reader thread ----

InputChunk* Pipeline::acquire() {
  std::unique_lock lock(m_);
  cvFree_.wait(lock, [this] { return stop_ || !free_.empty(); });
  if (stop_) return nullptr;
  Chunk* c = free_.back();
  free_.pop_back();
  return c;
}

void Pipeline::release(InputChunk* c) {
  reader_.unmap(*c);
  std::lock_guard lock(m_);
  free_.push_back(static_cast<Chunk*>(c));
  cvFree_.notify_one();
}

void Pipeline::submit(InputChunk* chunk) {
  Chunk* c = static_cast<Chunk*>(chunk);
  std::lock_guard lock(m_);
  c->seq = nextSeq_++;
  c->done = false;
  slots_[c->seq % slots_.size()] = c;
  work_.push_back(c);
  cvWork_.notify_one();
}

void Pipeline::read_all() {
  reader_.read_all(*this, wake_[0]);
  std::lock_guard lock(m_);
  readerDone_ = true;
  totalSeq_ = nextSeq_;
  cvWork_.notify_all();
  cvDone_.notify_all();
}

}  // namespace cmg290::cli::batch
