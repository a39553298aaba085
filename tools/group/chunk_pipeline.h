// The threads of one `cmg290 group` run (shared/chunk_queue.h): a reader
// cuts the inputs into chunks of whole lines, workers number and group
// their lines, and the calling thread writes their results in input order,
// unless the worker of a chunk whose turn has come writes them itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "chunk_cutter.h"
#include "group_pipeline.h"
#include "group_tally.h"
#include "progress.h"
#include "result_format.h"
#include "set_grouper.h"
#include "shared/chunk_queue.h"
#include "shared/output_file.h"
#include "shared/record_inputs.h"

namespace cmg290::cli::batch {

// Line ends noted per chunk: enough for a chunk of records, while a chunk of
// very short lines has the rest of its line ends searched again.
inline constexpr std::size_t kNotedLineEnds = 4096;

// Per-line messages (--strict) shown on standard error; the rest are only
// counted.
inline constexpr int kMaxMessages = 20;

// Edits kept per chunk with --edits: two per noted line on average.
inline constexpr std::size_t kKeptEdits = 2 * kNotedLineEnds;
inline constexpr std::uint8_t kEditsNotKept = 0xff;
static_assert(Edits::kCapacity < kEditsNotKept);

// A run of whole lines of one input, and the results for them.
struct Chunk : QueuedChunk {
  std::unique_ptr<char[]> out;  // result rows
  std::size_t outSize = 0;

  // Grouping stops early when `out` is full (many very short lines); it
  // resumes at resumeAt, whose line number is nextLine.
  std::size_t resumeAt = 0;
  std::int64_t nextLine = 0;
  std::int64_t firstLine = 0;

  // Written by the worker that grouped it, when its turn had come by then;
  // `written` and `writeOk` tell when and how that went.
  bool writtenByWorker = false;
  bool written = false;
  bool writeOk = true;

  LineIndex lines{kNotedLineEnds};
  // Results of the lines whose ends `lines` notes, found as the lines are
  // counted; a line past them is grouped when its row is written.
  std::unique_ptr<cmg290::Result[]> results{new cmg290::Result[kNotedLineEnds]};
  // Per result: its tier letter came from a placeholder row.
  std::unique_ptr<bool[]> placeholders{new bool[kNotedLineEnds]};
  // With --edits, the edits of noted lines, found as they are grouped while
  // each line is in cache: line i's are editCount[i] edits from
  // keptEdits[editsAt[i]], or found again when its row is written when
  // editCount[i] is kEditsNotKept (the pool was full).
  std::unique_ptr<Edit[]> keptEdits;
  std::unique_ptr<std::uint32_t[]> editsAt;
  std::unique_ptr<std::uint8_t[]> editCount;
  std::size_t editsKept = 0;

  Tally tally;
  std::string messages;
  int messageCount = 0;
};

class Pipeline {
 public:
  Pipeline(const GroupOptions& options, const RowFormatter& formatter, const SetGrouper& grouper,
           std::vector<std::unique_ptr<Input>>& inputs, OutputFile& output, Progress& progress);

  // Runs until every input is read and every row written, or until a
  // fault (error()) or the output (its status()) stops the run.
  void run();

  const Tally& tally() const { return total_; }
  // An exception on any thread (out of memory while formatting or noting a
  // line) stops them all and becomes the run's error, so that the caller
  // removes the temporary output and exits with a message.
  std::string error() const { return queue_.error(); }

 private:
  // ---- worker threads ----

  void work();

  // The result of one line's text, which is not empty, and whether its tier
  // letter came from a placeholder row.
  cmg290::Result result_of(std::string_view text, bool& placeholder) const;

  // Writes the rows of c's lines from resumeAt on, grouping those not
  // grouped yet, until its end or until its output buffer is full.
  void group_lines(Chunk& c) const;

  void note_short_line(Chunk& c, std::int64_t line, std::size_t len) const;

  // The edits of a line with its result (none for a line --strict rejects).
  void find_line_edits(std::string_view text, const cmg290::Result& r, Edits& edits) const;
  // Finds and keeps the edits of noted line i, when the pool has room.
  void keep_edits(Chunk& c, std::size_t i, std::string_view text, Edits& scratch) const;

  // Whether the file under a mapped chunk was cut short while it was read;
  // its lines then hold bytes the file never had.
  bool cut_short(const Chunk& c) const { return queue_.reader().cut_short(c); }

  // ---- writer, on the calling thread ----
  // Each returns whether the run goes on.

  bool put(const char* data, std::size_t size);

  // Puts out the rows of a chunk grouped to its end, unless its file was
  // cut short under it.
  bool put_chunk(const Chunk& c);
  bool write_all();

  const GroupOptions& options_;
  const RowFormatter& fmt_;
  const SetGrouper& grouper_;
  std::vector<std::unique_ptr<Input>>& inputs_;
  OutputFile& output_;
  Progress& progress_;

  ChunkQueue queue_;
  std::size_t outCapacity_ = 0;
  std::vector<std::unique_ptr<Chunk>> chunks_;

  // Under the queue's lock: the chunk whose lines are numbered next, and
  // the number of its first line.
  std::uint64_t lineTurn_ = 0;
  std::int64_t nextLine_ = 1;
  // The chunk to be written next; none before the header is out.
  std::uint64_t writeTurn_ = UINT64_MAX;

  Tally total_;
  int shownMessages_ = 0;
};

}  // namespace cmg290::cli::batch
