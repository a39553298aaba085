#include "compare_scan.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include "chunk_cutter.h"
#include "mapped_cutter.h"
#include "mapped_window.h"

namespace cmg290::cli::compare {

namespace {

// Chunks of at most 4 MiB, smaller with many threads, all together near
// 40 MiB, as `cmg290 group` cuts them.
constexpr std::size_t kMaxChunkBytes = std::size_t{4} << 20;
constexpr std::size_t kMinChunkBytes = std::size_t{256} << 10;
constexpr std::size_t kChunkBudget = std::size_t{40} << 20;

struct Chunk {
  std::unique_ptr<char[]> buffer;
  const char* data = nullptr;
  std::size_t size = 0;
  bool cut = false;
  bool mapped = false;
  std::size_t slot = 0;
  std::size_t file = 0;
  bool firstOfFile = false;
  std::uint64_t seq = 0;
  bool done = false;

  std::int64_t lines = 0;
  Counts counts;
  std::vector<Change> changes;  // lines numbered from 1 within the chunk
};

class Scanner {
 public:
  Scanner(const std::vector<std::unique_ptr<batch::Input>>& inputs, const TierSet& a,
          const TierSet& b, const ScanOptions& options)
      : inputs_(inputs), a_(a), b_(b), options_(options) {
    const std::size_t chunks = options.threads + 3;
    chunkBytes_ = std::clamp(kChunkBudget / (2 * chunks), kMinChunkBytes, kMaxChunkBytes);
    for (const auto& in : inputs) {
      if (in->regular) {
        arena_ = WindowArena::create(chunks, chunkBytes_ + WindowArena::page_size());
        break;
      }
    }
    for (std::size_t i = 0; i < chunks; ++i) {
      auto c = std::make_unique<Chunk>();
      c->buffer.reset(new char[chunkBytes_ + 1]);
      c->slot = i;
      free_.push_back(c.get());
      chunks_.push_back(std::move(c));
    }
    slots_.assign(chunks, nullptr);
  }

  bool run(const std::function<bool(const Change&)>& onChange, Counts& counts, std::string& error) {
    if (pipe2(wake_, O_CLOEXEC) != 0) {
      error = std::string("cannot start: ") + std::strerror(errno);
      return false;
    }
    std::thread reader;
    std::vector<std::thread> workers;
    try {
      reader = std::thread([this] { guarded([this] { read_all(); }); });
      for (unsigned i = 0; i < options_.threads; ++i) {
        workers.emplace_back([this] { guarded([this] { work(); }); });
      }
      guarded([&] { merge(onChange, counts); });
    } catch (...) {
      fail("cannot start the threads");
    }
    if (!finished_) stop();
    if (reader.joinable()) reader.join();
    for (std::thread& w : workers) w.join();
    close(wake_[0]);
    close(wake_[1]);
    error = error_;
    return error_.empty() && finished_;
  }

 private:
  template <typename Body>
  void guarded(Body&& body) noexcept {
    try {
      body();
    } catch (...) {
      fail("out of memory");
    }
  }

  void fail(const std::string& message) noexcept {
    {
      std::lock_guard lock(m_);
      if (error_.empty()) {
        try {
          error_ = message;
        } catch (...) {
        }
      }
    }
    stop();
  }

  void stop() {
    std::lock_guard lock(m_);
    if (stop_) return;
    stop_ = true;
    const char byte = 0;
    [[maybe_unused]] const ssize_t n = ::write(wake_[1], &byte, 1);
    cv_.notify_all();
  }

  // ---- the reader ----

  Chunk* acquire() {
    std::unique_lock lock(m_);
    cv_.wait(lock, [this] { return stop_ || !free_.empty(); });
    if (stop_) return nullptr;
    Chunk* c = free_.back();
    free_.pop_back();
    return c;
  }

  void release(Chunk* c) {
    if (c->mapped) {
      arena_->unmap(c->slot);
      c->mapped = false;
    }
    std::lock_guard lock(m_);
    free_.push_back(c);
    cv_.notify_all();
  }

  void submit(Chunk* c, std::size_t file, bool first) {
    c->file = file;
    c->firstOfFile = first;
    std::lock_guard lock(m_);
    c->seq = nextSeq_++;
    c->done = false;
    slots_[c->seq % slots_.size()] = c;
    work_.push_back(c);
    cv_.notify_all();
  }

  // read() of an input that gives up when the run stops while it waits on
  // a pipe or terminal: -1 with errno set on error, -2 when stopped.
  class Source : public ByteSource {
   public:
    Source(const batch::Input& in, int wake) : in_(in), wake_(wake) {}
    long read(char* buf, std::size_t n) override {
      for (;;) {
        if (!in_.regular) {
          pollfd fds[2] = {{in_.fd, POLLIN, 0}, {wake_, POLLIN, 0}};
          if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            error_ = errno;
            return -1;
          }
          if (fds[1].revents != 0) return -2;
        }
        const ssize_t got = ::read(in_.fd, buf, n);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) error_ = errno;
        return got;
      }
    }
    int error() const { return error_; }

   private:
    const batch::Input& in_;
    int wake_;
    int error_ = 0;
  };

  void read_all() {
    for (std::size_t file = 0; file < inputs_.size(); ++file) {
      if (!read_file(file)) break;
    }
    std::lock_guard lock(m_);
    readerDone_ = true;
    totalSeq_ = nextSeq_;
    cv_.notify_all();
  }

  bool read_file(std::size_t file) {
    const batch::Input& in = *inputs_[file];
    bool first = true;
    if (in.regular && arena_ != nullptr && !read_mapped(file, first)) return false;
    ChunkCutter cutter(chunkBytes_, cmg290::kRecordLength);
    Source source(in, wake_[0]);
    for (;; first = false) {
      Chunk* c = acquire();
      if (c == nullptr) return false;
      c->data = c->buffer.get();
      const ChunkFill fill = cutter.next(c->buffer.get(), source);
      if (fill.error != 0 || (fill.end && batch::shrunk(in))) {
        if (fill.error != -2) {
          fail("cannot read " + in.name + ": " +
               (fill.error == 0 ? batch::kCutShortMessage : std::strerror(source.error())));
        }
        release(c);
        return false;
      }
      if (fill.size == 0) {
        release(c);
        return true;
      }
      c->size = fill.size;
      c->cut = fill.cut;
      submit(c, file, first);
      if (fill.end) return true;
    }
  }

  bool read_mapped(std::size_t file, bool& first) {
    const batch::Input& in = *inputs_[file];
    struct stat st;
    const off_t start = lseek(in.fd, 0, SEEK_CUR);
    if (start < 0 || fstat(in.fd, &st) != 0 || st.st_size <= start) return true;
    MappedCutter cutter(*arena_, chunkBytes_, cmg290::kRecordLength);
    cutter.reset(in.fd, static_cast<std::uint64_t>(start), static_cast<std::uint64_t>(st.st_size));
    for (;;) {
      Chunk* c = acquire();
      if (c == nullptr) return false;
      const std::uint64_t before = cutter.position();
      const MappedChunk m = cutter.next(c->slot, c->buffer.get());
      if (m.error != 0 && first && before == static_cast<std::uint64_t>(start)) {
        release(c);  // a file system that cannot map its files: read it instead
        return true;
      }
      if (m.error != 0 || m.cutShort) {
        fail("cannot read " + in.name + ": " +
             (m.cutShort ? std::string(batch::kCutShortMessage) : std::strerror(m.error)));
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
      submit(c, file, first);
      first = false;
    }
    if (lseek(in.fd, static_cast<off_t>(cutter.position()), SEEK_SET) < 0) {
      fail("cannot read " + in.name + ": " + std::strerror(errno));
      return false;
    }
    return true;
  }

  // ---- the workers ----

  void work() {
    for (;;) {
      Chunk* c;
      {
        std::unique_lock lock(m_);
        cv_.wait(lock, [this] { return stop_ || !work_.empty() || readerDone_; });
        if (stop_ || work_.empty()) return;
        c = work_.front();
        work_.pop_front();
      }
      group_chunk(*c);
      std::lock_guard lock(m_);
      c->done = true;
      cv_.notify_all();
    }
  }

  void group_chunk(Chunk& c) const {
    c.counts = Counts{};
    c.changes.clear();
    std::int64_t line = 0;
    const char* p = c.data;
    const char* const end = c.data + c.size;
    while (p < end) {
      const char* nl = static_cast<const char*>(std::memchr(p, '\n', end - p));
      LineIndex::prefetch_ahead(nl, end);
      ++line;
      const std::string_view record = line_text(p, nl, c.cut);
      p = nl + 1;
      if (record.empty()) continue;
      ++c.counts.records;
      const cmg290::Result ra = cmg290::group(record, a_);
      const cmg290::Result rb = cmg290::group(record, b_);
      if (ra.status == 0) ++c.counts.grouped;
      if (std::memcmp(ra.cmg, rb.cmg, 5) == 0) continue;
      ++c.counts.cmgChanged;
      if (ra.cmg[0] != rb.cmg[0]) ++c.counts.tierChanged;
      ++c.counts.transitions[{pack_cmg(ra.cmg), pack_cmg(rb.cmg)}];
      if (options_.wantChanges) {
        Change change;
        change.file = c.file;
        change.line = line;
        change.a = cmg290::group(record, a_, change.sourceA);
        change.b = cmg290::group(record, b_, change.sourceB);
        c.changes.push_back(change);
      }
    }
    c.lines = line;
  }

  // ---- the calling thread: chunks back in input order ----

  void merge(const std::function<bool(const Change&)>& onChange, Counts& counts) {
    std::int64_t lineBase = 0;
    for (std::uint64_t seq = 0;; ++seq) {
      Chunk* c;
      {
        std::unique_lock lock(m_);
        const std::size_t slot = seq % slots_.size();
        cv_.wait(lock, [&] {
          const Chunk* s = slots_[slot];
          return stop_ || (s != nullptr && s->seq == seq && s->done) ||
                 (readerDone_ && seq == totalSeq_);
        });
        if (stop_) return;
        if (readerDone_ && seq == totalSeq_) {
          finished_ = true;
          return;
        }
        c = slots_[slot];
        slots_[slot] = nullptr;
      }
      if (c->mapped && arena_->cut_short(c->slot)) {
        fail("cannot read " + inputs_[c->file]->name + ": " + batch::kCutShortMessage);
        return;
      }
      if (c->firstOfFile) lineBase = 0;
      counts.add(c->counts);
      for (Change& change : c->changes) {
        change.line += lineBase;
        if (!onChange(change)) {
          stop();
          return;
        }
      }
      lineBase += c->lines;
      release(c);
    }
  }

  const std::vector<std::unique_ptr<batch::Input>>& inputs_;
  const TierSet& a_;
  const TierSet& b_;
  const ScanOptions options_;
  std::size_t chunkBytes_ = 0;
  std::unique_ptr<WindowArena> arena_;
  std::vector<std::unique_ptr<Chunk>> chunks_;
  int wake_[2] = {-1, -1};

  std::mutex m_;
  std::condition_variable cv_;
  std::vector<Chunk*> free_;
  std::deque<Chunk*> work_;
  std::vector<Chunk*> slots_;
  std::uint64_t nextSeq_ = 0;
  std::uint64_t totalSeq_ = 0;
  bool readerDone_ = false;
  bool stop_ = false;
  bool finished_ = false;
  std::string error_;
};

}  // namespace

bool scan(const std::vector<std::unique_ptr<batch::Input>>& inputs, const TierSet& a,
          const TierSet& b, const ScanOptions& options,
          const std::function<bool(const Change&)>& onChange, Counts& counts, std::string& error) {
  Scanner scanner(inputs, a, b, options);
  return scanner.run(onChange, counts, error);
}

}  // namespace cmg290::cli::compare
