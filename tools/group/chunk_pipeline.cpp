// The threads of a `cmg290 group` run: the workers that number and group
// the lines of each chunk, and the writer that puts their results out in
// input order on the calling thread (or has the worker of a chunk whose
// turn has come put them out). The chunks circulate through a ChunkQueue.
#include "chunk_pipeline.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

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
      queue_(inputs, options.threads + 3,
             std::max<std::size_t>(cmg290::kRecordLength, options.idStart + options.idLength)) {
  const std::size_t chunks = options.threads + 3;
  outCapacity_ = queue_.reader().chunk_bytes() + fmt_.max_row_size();
  for (std::size_t i = 0; i < chunks; ++i) {
    auto c = std::make_unique<Chunk>();
    c->out.reset(new char[outCapacity_]);
    if (options.edits) {
      c->keptEdits.reset(new Edit[kKeptEdits]);
      c->editsAt.reset(new std::uint32_t[kNotedLineEnds]);
      c->editCount.reset(new std::uint8_t[kNotedLineEnds]);
    }
    queue_.add(*c);
    chunks_.push_back(std::move(c));
  }
}

void Pipeline::run() {
  queue_.run(
      options_.threads, [this](unsigned) { work(); }, [this] { return write_all(); });
}

// ---- worker threads ----

void Pipeline::work() {
  Edits scratch;
  for (;;) {
    auto* c = static_cast<Chunk*>(queue_.next_work());
    if (c == nullptr) return;
    // Line numbers: each chunk learns where it starts once the chunk
    // before it has counted its lines. The lines are grouped as they are
    // counted, while each is in cache; their rows wait for the numbers.
    c->editsKept = 0;
    const std::size_t lines =
        c->lines.build(c->data, c->size, [&](std::size_t i, const char* begin, const char* end) {
          const std::string_view text = line_text(begin, end, c->cut);
          if (text.empty()) return;
          c->results[i] = result_of(text, c->placeholders[i]);
          if (options_.edits) keep_edits(*c, i, text, scratch);
        });
    {
      auto lock = queue_.lock();
      if (!queue_.wait_turn(lock, [&] { return lineTurn_ == c->seq; })) return;
      if (c->firstOfFile) nextLine_ = 1;
      c->firstLine = c->nextLine = nextLine_;
      nextLine_ += static_cast<std::int64_t>(lines);
      ++lineTurn_;
      queue_.notify_turns();
    }
    c->resumeAt = 0;
    c->outSize = 0;
    c->tally = Tally{};
    c->messages.clear();
    c->messageCount = 0;
    group_lines(*c);
    // A chunk whose turn to be written has come is written here, while its
    // rows are in this core's cache; the writer takes the others.
    bool writeHere;
    {
      const auto lock = queue_.lock();
      c->done = true;
      writeHere = writeTurn_ == c->seq && c->resumeAt >= c->size;
      c->writtenByWorker = writeHere;
      c->written = false;
      // The writer waits for one chunk at a time; it need only be woken
      // when that chunk is done and left for it to write.
      if (!writeHere) queue_.wake_taker(*c);
    }
    if (writeHere) {
      const bool ok = put_chunk(*c);
      const auto lock = queue_.lock();
      c->writeOk = ok;
      c->written = true;
      ++writeTurn_;
      queue_.wake_taker(*c);
    }
  }
}

void Pipeline::group_lines(Chunk& c) const {
  const char* p = c.data + c.resumeAt;
  const char* const end = c.data + c.size;
  char* out = c.out.get() + c.outSize;
  const char* const outLimit = c.out.get() + outCapacity_ - fmt_.max_row_size();
  std::int64_t line = c.nextLine;
  LineNumber lineText(line);
  Tally& t = c.tally;
  // The edits of the record at hand, with --edits; none for a line that
  // --strict rejects, which is not grouped.
  Edits edits;
  while (p < end && out <= outLimit) {
    const std::size_t index = static_cast<std::size_t>(line - c.firstLine);
    const char* nl = c.lines.line_end(c.data, c.size, index, p);
    const std::string_view record = line_text(p, nl, c.cut);
    const std::size_t len = record.size();
    if (len == 0) {
      ++t.empty;
    } else {
      ++t.records;
      const bool isShort = len < cmg290::kRecordLength;
      if (isShort) ++t.shortLines;
      if (isShort && options_.strict) note_short_line(c, line, len);
      // The result kept when the line was found, read where it lies.
      cmg290::Result late;
      bool latePlaceholder = false;
      const bool noted = index < c.lines.room();
      const cmg290::Result& r =
          noted ? c.results[index] : (late = result_of(record, latePlaceholder));
      ++t.byStatus[Tally::status_slot(r.status)];
      if (r.status == 0) ++t.byTier[Tally::tier_slot(r.cmg[0])];
      if (noted ? c.placeholders[index] : latePlaceholder) ++t.placeholderTiers;
      if (options_.edits) {
        const std::uint8_t kept = noted ? c.editCount[index] : kEditsNotKept;
        if (kept != kEditsNotKept) {
          edits.count = kept;
          std::copy_n(&c.keptEdits[c.editsAt[index]], kept, edits.items);
        } else {
          find_line_edits(record, r, edits);
        }
        t.add_edits(edits);
      }
      out = fmt_.write_row(out, c.file, lineText, record, r, edits);
    }
    p = nl + 1;
    ++line;
    lineText.next();
  }
  c.resumeAt = static_cast<std::size_t>(p - c.data);
  c.nextLine = line;
  c.outSize = static_cast<std::size_t>(out - c.out.get());
}

void Pipeline::find_line_edits(std::string_view text, const cmg290::Result& r, Edits& edits) const {
  edits.count = 0;
  if (r.status != kStatusShortLine) cmg290::find_edits(text, r, grouper_.set(), edits);
}

void Pipeline::keep_edits(Chunk& c, std::size_t i, std::string_view text, Edits& scratch) const {
  find_line_edits(text, c.results[i], scratch);
  const auto n = static_cast<std::size_t>(scratch.count);
  if (c.editsKept + n > kKeptEdits) {
    c.editCount[i] = kEditsNotKept;
    return;
  }
  std::copy_n(scratch.items, n, &c.keptEdits[c.editsKept]);
  c.editsAt[i] = static_cast<std::uint32_t>(c.editsKept);
  c.editCount[i] = static_cast<std::uint8_t>(n);
  c.editsKept += n;
}

cmg290::Result Pipeline::result_of(std::string_view text, bool& placeholder) const {
  if (options_.strict && text.size() < cmg290::kRecordLength) {
    placeholder = false;
    return ungrouped_result(kStatusShortLine);
  }
  return grouper_.group(text, placeholder);
}

void Pipeline::note_short_line(Chunk& c, std::int64_t line, std::size_t len) const {
  if (c.messageCount >= kMaxMessages) return;
  ++c.messageCount;
  char text[96];
  std::snprintf(text, sizeof text, ":%lld: line has %zu characters, fewer than %zu (--strict)\n",
                static_cast<long long>(line), len, cmg290::kRecordLength);
  c.messages += "cmg290: ";
  c.messages += inputs_[c.file]->name;
  c.messages += text;
}

// ---- writer, on the calling thread ----

bool Pipeline::put(const char* data, std::size_t size) {
  // A closed pipe or a failed write stays with the output, which reports it.
  return output_.write(data, size) == WriteStatus::Ok;
}

bool Pipeline::put_chunk(const Chunk& c) {
  if (cut_short(c)) {
    queue_.fail("cannot read " + inputs_[c.file]->name + ": " + kCutShortMessage);
    return false;
  }
  return put(c.out.get(), c.outSize);
}

bool Pipeline::write_all() {
  const std::string header = fmt_.header();
  if (!header.empty() && !put(header.data(), header.size())) return false;
  {
    const auto lock = queue_.lock();
    writeTurn_ = 0;
  }
  for (std::uint64_t seq = 0;; ++seq) {
    bool end = false;
    // Done, and written unless its worker writes it.
    auto* c = static_cast<Chunk*>(queue_.take(
        seq,
        [](const QueuedChunk& q) {
          const auto& s = static_cast<const Chunk&>(q);
          return s.done && (!s.writtenByWorker || s.written);
        },
        end));
    if (c == nullptr) return end;
    if (c->writtenByWorker) {
      if (!c->writeOk) return false;
    } else {
      for (;;) {
        if (!put_chunk(*c)) return false;
        if (c->resumeAt >= c->size) break;
        c->outSize = 0;
        group_lines(*c);
      }
      const auto lock = queue_.lock();
      ++writeTurn_;
    }
    total_.add(c->tally);
    if (!c->messages.empty() && shownMessages_ < kMaxMessages) {
      progress_.clear();
      const std::size_t n = c->messages.size();
      std::size_t cut = 0;
      while (cut < n && shownMessages_ < kMaxMessages) {
        cut = c->messages.find('\n', cut) + 1;
        ++shownMessages_;
      }
      std::fwrite(c->messages.data(), 1, cut, stderr);
    }
    progress_.update(c->bytesEnd, total_.records);
    queue_.give_back(*c);
  }
}

}  // namespace cmg290::cli::batch
