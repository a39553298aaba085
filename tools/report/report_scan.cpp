#include "report_scan.h"

#include <cstring>

#include "chunk_cutter.h"
#include "shared/chunk_queue.h"

namespace cmg290::cli::report {

namespace {

struct Chunk : batch::QueuedChunk {
  std::int64_t lines = 0;
  std::uint64_t records = 0;
  std::uint64_t empty = 0;
  // Per edit code, the first lines of the chunk that raise it (numbered from
  // 1 within the chunk).
  std::array<std::array<std::int64_t, kFirstLines>, kEditCount> firstLines{};
  std::array<std::uint8_t, kEditCount> firstCount{};
};

class Scanner {
 public:
  Scanner(const std::vector<std::unique_ptr<batch::Input>>& inputs, const TierSet& set,
          const ScanOptions& options)
      : inputs_(inputs),
        set_(set),
        options_(options),
        queue_(inputs, options.threads + 3, cmg290::kRecordLength) {
    for (unsigned i = 0; i < options.threads + 3; ++i) {
      auto c = std::make_unique<Chunk>();
      queue_.add(*c);
      chunks_.push_back(std::move(c));
    }
  }

  bool run(ScanResult& result, std::string& error) {
    bool finished = false;
    result.fileRecords.assign(inputs_.size(), 0);
    try {
      tallies_.resize(options_.threads);  // before any worker starts
      finished = queue_.run(
          options_.threads, [this](unsigned i) { work(tallies_[i]); },
          [&] { return merge(result); });
    } catch (...) {
      error = "cannot start the threads";
      return false;
    }
    error = queue_.error();
    if (!error.empty() || !finished) return false;
    for (const Tally& t : tallies_) result.tally.add(t);
    return true;
  }

 private:
  // ---- the workers ----

  void work(Tally& tally) {
    Edits edits;
    while (auto* c = static_cast<Chunk*>(queue_.next_work())) {
      group_chunk(*c, tally, edits);
      queue_.finish(*c);
    }
  }

  void group_chunk(Chunk& c, Tally& tally, Edits& edits) const {
    c.lines = 0;
    c.records = 0;
    c.empty = 0;
    c.firstCount.fill(0);
    const char* p = c.data;
    const char* const end = c.data + c.size;
    while (p < end) {
      const char* nl = static_cast<const char*>(std::memchr(p, '\n', end - p));
      LineIndex::prefetch_ahead(nl, end);
      ++c.lines;
      const std::string_view record = line_text(p, nl, c.cut);
      p = nl + 1;
      if (record.empty()) {
        ++c.empty;
        continue;
      }
      ++c.records;
      TierSource source;
      const Result r = cmg290::group(record, set_, source);
      edits.count = 0;
      cmg290::find_edits(record, r, set_, edits);
      tally.add(record, r, source.placeholder, edits, options_.weights);
      for (const Edit& e : edits) {
        const int id = static_cast<int>(e.id);
        std::uint8_t& n = c.firstCount[id];
        if (n < kFirstLines && (n == 0 || c.firstLines[id][n - 1] != c.lines)) {
          c.firstLines[id][n++] = c.lines;
        }
      }
    }
  }

  // ---- the calling thread: chunks back in input order ----

  // Returns whether every chunk was taken.
  bool merge(ScanResult& result) {
    std::int64_t lineBase = 0;
    for (std::uint64_t seq = 0;; ++seq) {
      bool end = false;
      auto* c = static_cast<Chunk*>(queue_.take(seq, end));
      if (c == nullptr) return end;
      if (queue_.reader().cut_short(*c)) {
        queue_.fail("cannot read " + inputs_[c->file]->name + ": " + batch::kCutShortMessage);
        return false;
      }
      if (c->firstOfFile) lineBase = 0;
      result.fileRecords[c->file] += c->records;
      result.emptyLines += c->empty;
      for (std::size_t id = 0; id < kEditCount; ++id) {
        std::vector<LineRef>& lines = result.firstLines[id];
        for (std::uint8_t i = 0; i < c->firstCount[id] && lines.size() < kFirstLines; ++i) {
          lines.push_back({c->file, lineBase + c->firstLines[id][i]});
        }
      }
      lineBase += c->lines;
      queue_.give_back(*c);
    }
  }

  const std::vector<std::unique_ptr<batch::Input>>& inputs_;
  const TierSet& set_;
  const ScanOptions options_;
  batch::ChunkQueue queue_;
  std::vector<std::unique_ptr<Chunk>> chunks_;
  std::vector<Tally> tallies_;  // one for each worker
};

}  // namespace

bool scan(const std::vector<std::unique_ptr<batch::Input>>& inputs, const TierSet& set,
          const ScanOptions& options, ScanResult& result, std::string& error) {
  Scanner scanner(inputs, set, options);
  return scanner.run(result, error);
}

}  // namespace cmg290::cli::report
