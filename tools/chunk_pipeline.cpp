// The chunk pipeline's construction, its run and stop, and the reader
// thread.
#include "chunk_pipeline.h"

#include "mapped_cutter.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <new>
#include <thread>

namespace cmg290::cli::batch {

namespace {

// Chunk sizes: at most 4 MiB of input per chunk, smaller when many threads
// share the budget, so that all chunk buffers together stay near 40 MiB.
constexpr std::size_t kMaxChunkBytes = std::size_t{4} << 20;
constexpr std::size_t kMinChunkBytes = std::size_t{256} << 10;
constexpr std::size_t kChunkBudget = std::size_t{40} << 20;

}  // namespace

Pipeline::Pipeline(const GroupOptions& options, const RowFormatter& formatter,
                   const SetGrouper& grouper, std::vector<std::unique_ptr<Input>>& inputs,
                   OutputFile& output, Progress& progress)
    : options_(options),
      fmt_(formatter),
      grouper_(grouper),
      inputs_(inputs),
      output_(output),
      progress_(progress) {
  const std::size_t chunks = options.threads + 3;
  const std::size_t chunkBytes =
      std::clamp(kChunkBudget / (2 * chunks), kMinChunkBytes, kMaxChunkBytes);
  // The head kept of a line longer than a chunk: the record positions and
  // the id (--id ends within 64 KiB, well inside the smallest chunk).
  const std::size_t keepBytes =
      std::max<std::size_t>(cmg290::kRecordLength, options.idStart + options.idLength);
  cutter_ = std::make_unique<ChunkCutter>(chunkBytes, keepBytes);
  outCapacity_ = chunkBytes + fmt_.max_row_size();
  for (const auto& in : inputs) {
    if (in->regular) {
      arena_ = WindowArena::create(chunks, chunkBytes + WindowArena::page_size());
      break;
    }
  }
  for (std::size_t i = 0; i < chunks; ++i) {
    auto c = std::make_unique<Chunk>();
    // One spare byte for the line end added to an unterminated last line.
    c->buffer.reset(new char[chunkBytes + 1]);
    c->slot = i;
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

ssize_t Pipeline::read_some(const Input& in, char* buf, std::size_t n) {
  for (;;) {
    if (!in.regular) {
      pollfd fds[2] = {{in.fd, POLLIN, 0}, {wake_[0], POLLIN, 0}};
      if (poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        return -1;
      }
      if (fds[1].revents != 0) return -2;
    }
    const ssize_t got = ::read(in.fd, buf, n);
    if (got < 0 && errno == EINTR) continue;
    return got;
  }
}

Chunk* Pipeline::acquire() {
  std::unique_lock lock(m_);
  cvFree_.wait(lock, [this] { return stop_ || !free_.empty(); });
  if (stop_) return nullptr;
  Chunk* c = free_.back();
  free_.pop_back();
  return c;
}

void Pipeline::release(Chunk* c) {
  if (c->mapped) {
    arena_->unmap(c->slot);
    c->mapped = false;
  }
  std::lock_guard lock(m_);
  free_.push_back(c);
  cvFree_.notify_one();
}

void Pipeline::submit(Chunk* c) {
  std::lock_guard lock(m_);
  c->seq = nextSeq_++;
  c->done = false;
  slots_[c->seq % slots_.size()] = c;
  work_.push_back(c);
  cvWork_.notify_one();
}

// One input as the cutter's source of bytes, counting what it reads.
class Pipeline::InputSource : public ByteSource {
 public:
  InputSource(Pipeline& pipeline, const Input& in, std::uint64_t& bytes)
      : pipeline_(pipeline), in_(in), bytes_(bytes) {}
  long read(char* buf, std::size_t n) override {
    const ssize_t got = pipeline_.read_some(in_, buf, n);
    if (got == -1) error_ = errno;
    if (got > 0) bytes_ += static_cast<std::uint64_t>(got);
    return got;
  }
  int error() const { return error_; }

 private:
  Pipeline& pipeline_;
  const Input& in_;
  std::uint64_t& bytes_;
  int error_ = 0;
};

void Pipeline::read_all() {
  std::uint64_t bytes = 0;
  for (std::size_t file = 0; file < inputs_.size(); ++file) {
    if (!read_file(file, bytes)) break;
  }
  std::lock_guard lock(m_);
  readerDone_ = true;
  totalSeq_ = nextSeq_;
  cvWork_.notify_all();
  cvDone_.notify_all();
}

bool Pipeline::read_file(std::size_t file, std::uint64_t& bytes) {
  const Input& in = *inputs_[file];
  bool first = true;
  if (in.regular && arena_ != nullptr && !read_mapped(file, bytes, first)) return false;
  InputSource source(*this, in, bytes);
  cutter_->reset();
  for (;; first = false) {
    Chunk* c = acquire();
    if (c == nullptr) return false;
    c->data = c->buffer.get();
    const ChunkFill fill = cutter_->next(c->buffer.get(), source);
    if (fill.error != 0) {
      if (fill.error == -1) fail("cannot read " + in.name + ": " + std::strerror(source.error()));
      release(c);
      return false;
    }
    if (fill.end && shrunk(in)) {
      fail("cannot read " + in.name + ": " + kCutShortMessage);
      release(c);
      return false;
    }
    if (fill.size == 0) {
      release(c);
      return true;
    }
    c->size = fill.size;
    c->cut = fill.cut;
    c->file = file;
    c->firstOfFile = first;
    c->bytesEnd = bytes - cutter_->carried();
    submit(c);
    if (fill.end) return true;
  }
}

bool Pipeline::read_mapped(std::size_t file, std::uint64_t& bytes, bool& first) {
  const Input& in = *inputs_[file];
  struct stat st;
  const off_t start = lseek(in.fd, 0, SEEK_CUR);
  // Files that report no size (those of /proc, say) are read with read().
  if (start < 0 || fstat(in.fd, &st) != 0 || st.st_size <= start) return true;
  MappedCutter cutter(*arena_, cutter_->chunk_bytes(), cutter_->keep_bytes());
  cutter.reset(in.fd, static_cast<std::uint64_t>(start), static_cast<std::uint64_t>(st.st_size));
  for (;;) {
    Chunk* c = acquire();
    if (c == nullptr) return false;
    const std::uint64_t before = cutter.position();
    const MappedChunk m = cutter.next(c->slot, c->buffer.get());
    if (m.error != 0 && first && before == static_cast<std::uint64_t>(start)) {
      // A file system that cannot map its files: read this one instead.
      release(c);
      return true;
    }
    if (m.error != 0 || m.cutShort) {
      fail("cannot read " + in.name + ": " +
           (m.cutShort ? std::string(kCutShortMessage) : std::strerror(m.error)));
      release(c);
      return false;
    }
    if (m.size == 0) {
      release(c);
      break;
    }
    c->data = m.data;
    c->size = m.size;
    c->cut = m.cut;
    c->mapped = m.mapped;
    c->file = file;
    c->firstOfFile = first;
    first = false;
    bytes += cutter.position() - before;
    c->bytesEnd = bytes;
    submit(c);
  }
  if (lseek(in.fd, static_cast<off_t>(cutter.position()), SEEK_SET) < 0) {
    const int err = errno;
    fail("cannot read " + in.name + ": " + std::strerror(err));
    return false;
  }
  return true;
}

}  // namespace cmg290::cli::batch
