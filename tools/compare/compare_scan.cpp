#include "compare_scan.h"

#include <array>
#include <cstring>

#include "chunk_cutter.h"
#include "shared/chunk_queue.h"

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

// What a grouped record's result adds to the weights of its side, in all
// and in its RIC.
void weigh_result(const report::WeightTable& weights, const cmg290::Result& r,
                  report::Weighted& all, std::array<std::array<report::Weighted, 2>, 100>& rics,
                  int side) {
  int cmg = 0;
  for (int i = 1; i < 5 && cmg >= 0; ++i) {
    const unsigned digit = static_cast<unsigned char>(r.cmg[i]) - '0';
    cmg = digit < 10 ? cmg * 10 + static_cast<int>(digit) : -1;
  }
  const report::Weighted w = report::weigh(weights, cmg, r.cmg[0]);
  all.add(w);
  if (cmg >= 0) rics[cmg / 100][side].add(w);
}

struct Chunk : batch::QueuedChunk {
  std::int64_t lines = 0;
  Counts counts;
  std::vector<Change> changes;  // lines numbered from 1 within the chunk
};

class Scanner {
 public:
  Scanner(const std::vector<std::unique_ptr<batch::Input>>& inputs, const TierSet& a,
          const TierSet& b, const ScanOptions& options)
      : inputs_(inputs),
        a_(a),
        b_(b),
        options_(options),
        queue_(inputs, options.threads + 3, cmg290::kRecordLength) {
    const std::size_t chunks = options.threads + 3;
    for (std::size_t i = 0; i < chunks; ++i) {
      auto c = std::make_unique<Chunk>();
      queue_.add(*c);
      chunks_.push_back(std::move(c));
    }
  }

  bool run(const std::function<bool(const Change&)>& onChange, Counts& counts, std::string& error) {
    bool finished = false;
    try {
      tables_.assign(options_.threads, CmgTable(kCmgSlots));  // before any worker starts
      finished = queue_.run(
          options_.threads, [this](unsigned i) { work(tables_[i]); },
          [&] { return merge(onChange, counts); });
    } catch (...) {
      error = "cannot start the threads";
      return false;
    }
    error = queue_.error();
    if (error.empty() && finished) fold_cmgs(counts);
    return error.empty() && finished;
  }

 private:
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
    while (auto* c = static_cast<Chunk*>(queue_.next_work())) {
      group_chunk(*c, table);
      queue_.finish(*c);
    }
  }

  static void count(Counts& counts, CmgTable& table, const cmg290::Result& ra,
                    const cmg290::Result& rb, bool changed, const report::WeightTable* weights) {
    const int fromTier = tier_slot(ra.cmg[0]);
    const int toTier = tier_slot(rb.cmg[0]);
    ++counts.tiers[0][fromTier];
    ++counts.tiers[1][toTier];
    ++counts.tierTransitions[fromTier][toTier];
    if (ra.status == 0) ++counts.grouped;
    if (weights != nullptr && ra.status == 0) {
      weigh_result(*weights, ra, counts.weighted[0], counts.ricWeighted, 0);
      weigh_result(*weights, rb, counts.weighted[1], counts.ricWeighted, 1);
    }
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
      count(c.counts, table, ra, rb, changed, options_.weights);
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

  // Returns whether every chunk was taken.
  bool merge(const std::function<bool(const Change&)>& onChange, Counts& counts) {
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
      counts.add(c->counts);
      counts.fileRecords.resize(inputs_.size());
      counts.fileRecords[c->file] += c->counts.records;
      for (Change& change : c->changes) {
        change.line += lineBase;
        if (!onChange(change)) return false;
      }
      lineBase += c->lines;
      queue_.give_back(*c);
    }
  }

  const std::vector<std::unique_ptr<batch::Input>>& inputs_;
  const TierSet& a_;
  const TierSet& b_;
  const ScanOptions options_;
  batch::ChunkQueue queue_;
  std::vector<std::unique_ptr<Chunk>> chunks_;
  std::vector<CmgTable> tables_;  // one for each worker
};

}  // namespace

int tier_slot(char letter) {
  return letter >= 'A' && letter <= 'D' ? letter - 'A' : kTierSlots - 1;
}

std::uint64_t pack_cmg(const char* cmg) {
  std::uint64_t v = 0;
  for (int i = 0; i < 5; ++i) v = v << 8 | static_cast<unsigned char>(cmg[i]);
  return v;
}

std::string unpack_cmg(std::uint64_t packed) {
  std::string s(5, ' ');
  for (int i = 4; i >= 0; --i, packed >>= 8) s[i] = static_cast<char>(packed & 0xff);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

void Counts::add(const Counts& o) {
  records += o.records;
  grouped += o.grouped;
  cmgChanged += o.cmgChanged;
  for (int side = 0; side < 2; ++side) {
    for (int t = 0; t < kTierSlots; ++t) tiers[side][t] += o.tiers[side][t];
  }
  for (std::size_t r = 0; r < rics.size(); ++r) {
    rics[r][0] += o.rics[r][0];
    rics[r][1] += o.rics[r][1];
  }
  for (const auto& [key, n] : o.cmgs) {
    auto& mine = cmgs[key];
    mine[0] += n[0];
    mine[1] += n[1];
  }
  for (const auto& [key, n] : o.transitions) transitions[key] += n;
  for (int from = 0; from < kTierSlots; ++from) {
    for (int to = 0; to < kTierSlots; ++to)
      tierTransitions[from][to] += o.tierTransitions[from][to];
  }
  for (int side = 0; side < 2; ++side) {
    weighted[side].add(o.weighted[side]);
    for (std::size_t r = 0; r < ricWeighted.size(); ++r)
      ricWeighted[r][side].add(o.ricWeighted[r][side]);
  }
}

bool scan(const std::vector<std::unique_ptr<batch::Input>>& inputs, const TierSet& a,
          const TierSet& b, const ScanOptions& options,
          const std::function<bool(const Change&)>& onChange, Counts& counts, std::string& error) {
  Scanner scanner(inputs, a, b, options);
  return scanner.run(onChange, counts, error);
}

}  // namespace cmg290::cli::compare
