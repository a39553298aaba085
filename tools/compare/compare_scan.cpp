#include "compare_scan.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include "chunk_cutter.h"
#include "shared/chunk_reader.h"

namespace cmg290::cli::compare {

namespace {

// A worker's records by CMG, for the CMGs of a tier letter A to D and four
// digits: [letter * 10000 + number] -> {with the old set, with the new}.
// Any other CMG is counted in the chunk's Counts::cmgs. Flat, so that the
// count costs no search per record; folded into Counts::cmgs at the end.
using CmgTable = std::vector<std::array<std::uint64_t, 2>>;
constexpr std::size_t kCmgSlots = 4 * 10000;

// The slot of a CMG in a CmgTable, or kCmgSlots for any other.
std::size_t cmg_slot(const char* cmg) {
  const unsigned letter = static_cast<unsigned char>(cmg[0]) - 'A';
  if (letter >= 4) return kCmgSlots;
  std::size_t number = 0;
  for (int i = 1; i < 5; ++i) {
    const unsigned digit = static_cast<unsigned char>(cmg[i]) - '0';
    if (digit >= 10) return kCmgSlots;
    number = number * 10 + digit;
  }
  return letter * 10000 + number;
}

struct Chunk : batch::InputChunk {
  std::uint64_t seq = 0;
  bool done = false;

  std::int64_t lines = 0;
  Counts counts;
  std::vector<Change> changes;  // lines numbered from 1 within the chunk
};

class Scanner : private batch::ChunkReader::Slots {
 public:
  Scanner(const std::vector<std::unique_ptr<batch::Input>>& inputs, const TierSet& a,
          const TierSet& b, const ScanOptions& options)
      : inputs_(inputs),
        a_(a),
        b_(b),
        options_(options),
        reader_(inputs, options.threads + 3, cmg290::kRecordLength) {
    const std::size_t chunks = options.threads + 3;
    for (std::size_t i = 0; i < chunks; ++i) {
      auto c = std::make_unique<Chunk>();
      reader_.equip(*c, i);
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
      tables_.assign(options_.threads, CmgTable(kCmgSlots));  // before any worker starts
      reader = std::thread([this] { guarded([this] { read_all(); }); });
      for (unsigned i = 0; i < options_.threads; ++i) {
        workers.emplace_back([this, i] { guarded([this, i] { work(tables_[i]); }); });
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
    if (error_.empty() && finished_) fold_cmgs(counts);
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

  void fail(std::string message) noexcept override {
    {
      std::lock_guard lock(m_);
      if (error_.empty()) {
        try {
          error_ = std::move(message);
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

  batch::InputChunk* acquire() override {
    std::unique_lock lock(m_);
    cv_.wait(lock, [this] { return stop_ || !free_.empty(); });
    if (stop_) return nullptr;
    Chunk* c = free_.back();
    free_.pop_back();
    return c;
  }

  void release(batch::InputChunk* c) override {
    reader_.unmap(*c);
    std::lock_guard lock(m_);
    free_.push_back(static_cast<Chunk*>(c));
    cv_.notify_all();
  }

  void submit(batch::InputChunk* chunk) override {
    Chunk* c = static_cast<Chunk*>(chunk);
    std::lock_guard lock(m_);
    c->seq = nextSeq_++;
    c->done = false;
    slots_[c->seq % slots_.size()] = c;
    work_.push_back(c);
    cv_.notify_all();
  }

  void read_all() {
    reader_.read_all(*this, wake_[0]);
    std::lock_guard lock(m_);
    readerDone_ = true;
    totalSeq_ = nextSeq_;
    cv_.notify_all();
  }

  // ---- the workers ----

  void fold_cmgs(Counts& counts) const {
    for (std::size_t slot = 0; slot < kCmgSlots; ++slot) {
      std::array<std::uint64_t, 2> n{};
      for (const CmgTable& t : tables_) {
        n[0] += t[slot][0];
        n[1] += t[slot][1];
      }
      if (n[0] == 0 && n[1] == 0) continue;
      char cmg[5] = {static_cast<char>('A' + slot / 10000)};
      for (std::size_t i = 4, number = slot % 10000; i >= 1; --i, number /= 10) {
        cmg[i] = static_cast<char>('0' + number % 10);
      }
      auto& total = counts.cmgs[pack_cmg(cmg)];
      total[0] += n[0];
      total[1] += n[1];
    }
  }

  void work(CmgTable& table) {
    for (;;) {
      Chunk* c;
      {
        std::unique_lock lock(m_);
        cv_.wait(lock, [this] { return stop_ || !work_.empty() || readerDone_; });
        if (stop_ || work_.empty()) return;
        c = work_.front();
        work_.pop_front();
      }
      group_chunk(*c, table);
      std::lock_guard lock(m_);
      c->done = true;
      cv_.notify_all();
    }
  }

  static void count(Counts& counts, CmgTable& table, const cmg290::Result& ra,
                    const cmg290::Result& rb, bool changed) {
    ++counts.tiers[0][tier_slot(ra.cmg[0])];
    ++counts.tiers[1][tier_slot(rb.cmg[0])];
    if (ra.status == 0) ++counts.grouped;
    if (ra.cmg[0] != ' ') {  // a CMG reached, with or without a warning
      const unsigned tens = static_cast<unsigned char>(ra.cmg[1]) - '0';
      const unsigned ones = static_cast<unsigned char>(ra.cmg[2]) - '0';
      if (tens < 10 && ones < 10) {
        auto& ric = counts.rics[tens * 10 + ones];
        ++ric[0];
        ric[1] += changed;
      }
      const std::size_t from = cmg_slot(ra.cmg);
      const std::size_t to = changed ? cmg_slot(rb.cmg) : from;
      ++(from < kCmgSlots ? table[from] : counts.cmgs[pack_cmg(ra.cmg)])[0];
      ++(to < kCmgSlots ? table[to] : counts.cmgs[pack_cmg(rb.cmg)])[1];
    }
    if (!changed) return;
    ++counts.cmgChanged;
    ++counts.transitions[{pack_cmg(ra.cmg), pack_cmg(rb.cmg)}];
  }

  void group_chunk(Chunk& c, CmgTable& table) const {
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
      const bool changed = std::memcmp(ra.cmg, rb.cmg, 5) != 0;
      count(c.counts, table, ra, rb, changed);
      if (!changed) continue;
      if (options_.wantChanges) {
        Change change;
        change.file = c.file;
        change.line = line;
        change.old = cmg290::group(record, a_, change.sourceOld);
        change.now = cmg290::group(record, b_, change.sourceNew);
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
      if (reader_.cut_short(*c)) {
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
  batch::ChunkReader reader_;
  std::vector<std::unique_ptr<Chunk>> chunks_;
  std::vector<CmgTable> tables_;  // one for each worker
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
