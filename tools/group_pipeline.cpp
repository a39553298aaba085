#include "group_pipeline.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

#include "line_reader.h"
#include "output_file.h"

namespace cmg290::cli {

namespace {

using Clock = std::chrono::steady_clock;

// Chunk sizes: at most 1 MiB of input per chunk, smaller when many threads
// share the budget, so that all chunk buffers together stay near 40 MiB.
constexpr std::size_t kMaxChunkBytes = std::size_t{1} << 20;
constexpr std::size_t kMinChunkBytes = std::size_t{256} << 10;
constexpr std::size_t kChunkBudget = std::size_t{40} << 20;

// Line ends noted per chunk: enough for a chunk of records, while a chunk of
// very short lines has the rest of its line ends searched again.
constexpr std::size_t kNotedLineEnds = 4096;

// Per-line messages (--strict) shown on standard error; the rest are only
// counted.
constexpr int kMaxMessages = 20;

constexpr auto kProgressDelay = std::chrono::milliseconds(500);
constexpr auto kProgressInterval = std::chrono::milliseconds(200);

struct Tally {
  static constexpr int kStatusSlots = 12;  // -1 .. 9, then any other code
  static constexpr int kTierSlots = 5;     // A, B, C, D, then anything else

  std::uint64_t records = 0;
  std::uint64_t empty = 0;
  std::uint64_t shortLines = 0;
  std::uint64_t byStatus[kStatusSlots] = {};
  std::uint64_t byTier[kTierSlots] = {};

  static int status_slot(int status) {
    return status < kStatusShortLine || status > 9 ? kStatusSlots - 1 : status + 1;
  }
  static int tier_slot(char letter) {
    return letter >= 'A' && letter <= 'D' ? letter - 'A' : kTierSlots - 1;
  }
  std::uint64_t grouped() const { return byStatus[status_slot(0)]; }

  void add(const Tally& o) {
    records += o.records;
    empty += o.empty;
    shortLines += o.shortLines;
    for (int i = 0; i < kStatusSlots; ++i) byStatus[i] += o.byStatus[i];
    for (int i = 0; i < kTierSlots; ++i) byTier[i] += o.byTier[i];
  }
};

struct Input {
  std::string name;  // for messages
  int fd = -1;
  bool owned = false;
  bool regular = false;
  std::uint64_t size = 0;
  dev_t device = 0;
  ino_t inode = 0;

  ~Input() {
    if (owned) close(fd);
  }
};

// A run of whole lines of one input, and the results for them.
struct Chunk {
  std::unique_ptr<char[]> data;  // the lines; the last one ends with '\n'
  std::size_t size = 0;
  bool cut = false;             // one line longer than a chunk, cut to its head
  std::unique_ptr<char[]> out;  // result rows
  std::size_t outSize = 0;

  std::uint64_t seq = 0;  // position in the stream of chunks
  std::size_t file = 0;
  bool firstOfFile = false;
  std::uint64_t bytesEnd = 0;  // input bytes read up to this chunk's end, over all inputs

  // Grouping stops early when `out` is full (many very short lines); it
  // resumes at resumeAt, whose line number is nextLine.
  std::size_t resumeAt = 0;
  std::int64_t nextLine = 0;
  std::int64_t firstLine = 0;

  LineIndex lines{kNotedLineEnds};
  bool done = false;

  Tally tally;
  std::string messages;
  int messageCount = 0;
};

std::string with_commas(std::uint64_t v) {
  std::string digits = std::to_string(v);
  for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(i, ",");
  return digits;
}

// The progress line on standard error, for runs long enough to need one.
class Progress {
 public:
  Progress(bool enabled, std::uint64_t totalBytes, Clock::time_point start)
      : enabled_(enabled), totalBytes_(totalBytes), start_(start), last_(start) {}

  void update(std::uint64_t bytes, std::uint64_t records) {
    if (!enabled_) return;
    const auto now = Clock::now();
    if (now - start_ < kProgressDelay || now - last_ < kProgressInterval) return;
    last_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    char line[160];
    int n;
    const double rate = static_cast<double>(records) / seconds;
    if (totalBytes_ > 0) {
      constexpr int kWidth = 30;
      const double part =
          std::min(1.0, static_cast<double>(bytes) / static_cast<double>(totalBytes_));
      char bar[kWidth + 1];
      const int filled = static_cast<int>(part * kWidth);
      for (int i = 0; i < kWidth; ++i) bar[i] = i < filled ? '#' : '.';
      bar[kWidth] = '\0';
      n = std::snprintf(line, sizeof line, "\r[%s] %3d%%  %s records  %s records/s ", bar,
                        static_cast<int>(part * 100), with_commas(records).c_str(),
                        with_commas(static_cast<std::uint64_t>(rate)).c_str());
    } else {
      n = std::snprintf(line, sizeof line, "\r%s records  %s records/s ",
                        with_commas(records).c_str(),
                        with_commas(static_cast<std::uint64_t>(rate)).c_str());
    }
    if (n > 0) std::fwrite(line, 1, std::min<std::size_t>(n, sizeof line - 1), stderr);
    shown_ = true;
  }

  // Removes the progress line before other text goes to standard error.
  void clear() {
    if (!shown_) return;
    std::fputs("\r\033[K", stderr);
    shown_ = false;
  }

 private:
  bool enabled_;
  std::uint64_t totalBytes_;
  Clock::time_point start_, last_;
  bool shown_ = false;
};

enum class Outcome { Done, BrokenPipe, Failed };

class Pipeline {
 public:
  Pipeline(const GroupOptions& options, const RowFormatter& formatter,
           std::vector<std::unique_ptr<Input>>& inputs, OutputFile& output, Progress& progress)
      : options_(options), fmt_(formatter), inputs_(inputs), output_(output), progress_(progress) {
    const std::size_t chunks = options.threads + 3;
    const std::size_t chunkBytes =
        std::clamp(kChunkBudget / (2 * chunks), kMinChunkBytes, kMaxChunkBytes);
    // The head kept of a line longer than a chunk: the record positions and
    // the id (--id ends within 64 KiB, well inside the smallest chunk).
    const std::size_t keepBytes =
        std::max<std::size_t>(cmg290::kRecordLength, options.idStart + options.idLength);
    cutter_ = std::make_unique<ChunkCutter>(chunkBytes, keepBytes);
    outCapacity_ = chunkBytes + fmt_.max_row_size();
    for (std::size_t i = 0; i < chunks; ++i) {
      auto c = std::make_unique<Chunk>();
      // One spare byte for the line end added to an unterminated last line.
      c->data.reset(new char[chunkBytes + 1]);
      c->out.reset(new char[outCapacity_]);
      free_.push_back(c.get());
      chunks_.push_back(std::move(c));
    }
    slots_.assign(chunks, nullptr);
  }

  Outcome run() {
    if (pipe2(wake_, O_CLOEXEC) != 0) {
      const int err = errno;
      error_ = std::string("cannot start: ") + std::strerror(err);
      return Outcome::Failed;
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

    Outcome outcome = Outcome::Failed;
    guarded([&] { outcome = write_all(); });
    if (outcome != Outcome::Done) stop();
    finish();
    if (outcome == Outcome::Done && (!error_.empty() || outOfMemory_)) outcome = Outcome::Failed;
    return outcome;
  }

  const Tally& tally() const { return total_; }
  std::string error() const { return outOfMemory_ && error_.empty() ? "out of memory" : error_; }

 private:
  void stop() {
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

  // Runs one thread's part of the run. An exception (out of memory while
  // formatting or noting a line) must not escape while the other threads
  // still run: it stops them all and becomes the run's error, so that the
  // caller removes the temporary output and exits with a message.
  template <typename Body>
  void guarded(Body&& body) noexcept {
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

  void fail_noexcept(const char* message) noexcept {
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

  void fail(std::string message) {
    {
      std::lock_guard lock(m_);
      if (error_.empty()) error_ = std::move(message);
    }
    stop();
  }

  // ---- reader thread ----

  // read() that gives up when the run is stopped while it waits on a pipe
  // or terminal. Returns -1 with errno set on error, -2 when stopped.
  ssize_t read_some(const Input& in, char* buf, std::size_t n) {
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

  Chunk* acquire() {
    std::unique_lock lock(m_);
    cvFree_.wait(lock, [this] { return stop_ || !free_.empty(); });
    if (stop_) return nullptr;
    Chunk* c = free_.back();
    free_.pop_back();
    return c;
  }

  void release(Chunk* c) {
    std::lock_guard lock(m_);
    free_.push_back(c);
    cvFree_.notify_one();
  }

  void submit(Chunk* c) {
    std::lock_guard lock(m_);
    c->seq = nextSeq_++;
    c->done = false;
    slots_[c->seq % slots_.size()] = c;
    work_.push_back(c);
    cvWork_.notify_one();
  }

  // One input as the cutter's source of bytes, counting what it reads.
  class InputSource : public ByteSource {
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

  void read_all() {
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

  // Cuts one input into chunks of whole lines. Returns false when the run
  // stops.
  bool read_file(std::size_t file, std::uint64_t& bytes) {
    const Input& in = *inputs_[file];
    InputSource source(*this, in, bytes);
    cutter_->reset();
    for (bool first = true;; first = false) {
      Chunk* c = acquire();
      if (c == nullptr) return false;
      const ChunkFill fill = cutter_->next(c->data.get(), source);
      if (fill.error != 0) {
        if (fill.error == -1) fail("cannot read " + in.name + ": " + std::strerror(source.error()));
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

  // ---- worker threads ----

  void work() {
    for (;;) {
      Chunk* c;
      {
        std::unique_lock lock(m_);
        cvWork_.wait(lock, [this] { return stop_ || !work_.empty() || readerDone_; });
        if (stop_ || work_.empty()) return;
        c = work_.front();
        work_.pop_front();
      }
      // Line numbers: each chunk learns where it starts once the chunk
      // before it has counted its lines; counting is quick next to grouping.
      const std::size_t lines = c->lines.build(c->data.get(), c->size);
      {
        std::unique_lock lock(m_);
        cvLines_.wait(lock, [&] { return stop_ || lineTurn_ == c->seq; });
        if (stop_) return;
        if (c->firstOfFile) nextLine_ = 1;
        c->firstLine = c->nextLine = nextLine_;
        nextLine_ += static_cast<std::int64_t>(lines);
        ++lineTurn_;
        cvLines_.notify_all();
      }
      c->resumeAt = 0;
      c->outSize = 0;
      c->tally = Tally{};
      c->messages.clear();
      c->messageCount = 0;
      group_lines(*c);
      {
        std::lock_guard lock(m_);
        c->done = true;
        cvDone_.notify_all();
      }
    }
  }

  // Groups the lines of c from resumeAt on, until its end or until its
  // output buffer is full.
  void group_lines(Chunk& c) const {
    const char* p = c.data.get() + c.resumeAt;
    const char* const end = c.data.get() + c.size;
    char* out = c.out.get() + c.outSize;
    const char* const outLimit = c.out.get() + outCapacity_ - fmt_.max_row_size();
    std::int64_t line = c.nextLine;
    Tally& t = c.tally;
    while (p < end && out <= outLimit) {
      const std::size_t index = static_cast<std::size_t>(line - c.firstLine);
      const char* nl = c.lines.line_end(c.data.get(), c.size, index, p);
      const std::string_view record = line_text(p, nl, c.cut);
      const std::size_t len = record.size();
      if (len == 0) {
        ++t.empty;
      } else {
        ++t.records;
        const bool isShort = len < cmg290::kRecordLength;
        if (isShort) ++t.shortLines;
        cmg290::Result r;
        if (isShort && options_.strict) {
          r = ungrouped_result(kStatusShortLine);
          note_short_line(c, line, len);
        } else {
          r = cmg290::group(record);
        }
        ++t.byStatus[Tally::status_slot(r.status)];
        if (r.status == 0) ++t.byTier[Tally::tier_slot(r.cmg[0])];
        out = fmt_.write_row(out, c.file, line, record, r);
      }
      p = nl + 1;
      ++line;
    }
    c.resumeAt = static_cast<std::size_t>(p - c.data.get());
    c.nextLine = line;
    c.outSize = static_cast<std::size_t>(out - c.out.get());
  }

  void note_short_line(Chunk& c, std::int64_t line, std::size_t len) const {
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

  Outcome put(const char* data, std::size_t size) {
    switch (output_.write(data, size)) {
      case WriteStatus::Ok:
        return Outcome::Done;
      case WriteStatus::BrokenPipe:
        return Outcome::BrokenPipe;
      case WriteStatus::Failed:
        break;
    }
    fail(output_.error());
    return Outcome::Failed;
  }

  Outcome write_all() {
    const std::string header = fmt_.header();
    if (!header.empty()) {
      if (Outcome o = put(header.data(), header.size()); o != Outcome::Done) return o;
    }
    for (std::uint64_t seq = 0;; ++seq) {
      Chunk* c;
      {
        std::unique_lock lock(m_);
        const std::size_t slot = seq % slots_.size();
        cvDone_.wait(lock, [&] {
          return stop_ ||
                 (slots_[slot] != nullptr && slots_[slot]->seq == seq && slots_[slot]->done) ||
                 (readerDone_ && seq == totalSeq_);
        });
        if (stop_) return Outcome::Failed;
        if (readerDone_ && seq == totalSeq_) return Outcome::Done;
        c = slots_[slot];
        slots_[slot] = nullptr;
      }
      for (;;) {
        if (Outcome o = put(c->out.get(), c->outSize); o != Outcome::Done) return o;
        if (c->resumeAt >= c->size) break;
        c->outSize = 0;
        group_lines(*c);
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
      release(c);
    }
  }

  const GroupOptions& options_;
  const RowFormatter& fmt_;
  std::vector<std::unique_ptr<Input>>& inputs_;
  OutputFile& output_;
  Progress& progress_;

  std::unique_ptr<ChunkCutter> cutter_;  // used by the reader thread alone
  std::size_t outCapacity_ = 0;
  std::vector<std::unique_ptr<Chunk>> chunks_;
  int wake_[2] = {-1, -1};

  std::mutex m_;
  std::condition_variable cvFree_, cvWork_, cvLines_, cvDone_;
  std::vector<Chunk*> free_;
  std::deque<Chunk*> work_;
  std::vector<Chunk*> slots_;  // submitted chunks by seq modulo their number
  std::uint64_t nextSeq_ = 0;
  std::uint64_t totalSeq_ = 0;
  bool readerDone_ = false;
  std::uint64_t lineTurn_ = 0;
  std::int64_t nextLine_ = 1;
  bool stop_ = false;
  bool outOfMemory_ = false;  // failed without room for a message
  std::string error_;

  Tally total_;
  int shownMessages_ = 0;
};

bool open_inputs(const std::vector<std::string>& names, std::vector<std::unique_ptr<Input>>& inputs,
                 std::string& error) {
  for (const std::string& name : names) {
    auto in = std::make_unique<Input>();
    if (name == "-") {
      in->name = "standard input";
      in->fd = STDIN_FILENO;
    } else {
      in->name = name;
      in->fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
      if (in->fd < 0) {
        const int err = errno;
        error = "cannot open " + name + ": " + std::strerror(err);
        return false;
      }
      in->owned = true;
    }
    struct stat st;
    if (fstat(in->fd, &st) != 0) {
      const int err = errno;
      error = "cannot read " + in->name + ": " + std::strerror(err);
      return false;
    }
    if (S_ISDIR(st.st_mode)) {
      error = "cannot read " + in->name + ": Is a directory";
      return false;
    }
    if (S_ISREG(st.st_mode)) {
      in->regular = true;
      in->device = st.st_dev;
      in->inode = st.st_ino;
      in->size = static_cast<std::uint64_t>(st.st_size);
      posix_fadvise(in->fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    inputs.push_back(std::move(in));
  }
  return true;
}

void print_summary(const Tally& t, std::size_t files, double seconds) {
  std::string s;
  char line[200];
  const double rate = seconds > 0 ? static_cast<double>(t.records) / seconds : 0.0;
  std::snprintf(line, sizeof line,
                "cmg290 group: %s records from %zu input%s in %.*f %s (%s records/s)\n",
                with_commas(t.records).c_str(), files, files == 1 ? "" : "s", seconds < 1 ? 1 : 3,
                seconds < 1 ? seconds * 1000 : seconds, seconds < 1 ? "ms" : "s",
                with_commas(static_cast<std::uint64_t>(rate)).c_str());
  s += line;
  // One line per count: a label, the count, and a note.
  auto add = [&](const std::string& label, std::uint64_t count, const char* note) {
    std::snprintf(line, sizeof line, "  %-12s %12s%s%s\n", label.c_str(),
                  with_commas(count).c_str(), *note ? "  " : "", note);
    s += line;
  };
  add("grouped", t.grouped(), "");
  add("not grouped", t.records - t.grouped(), "");
  for (int slot = 0; slot < Tally::kStatusSlots; ++slot) {
    if (t.byStatus[slot] == 0) continue;
    if (slot == Tally::kStatusSlots - 1) {
      add("status ?", t.byStatus[slot], "other codes");
    } else {
      add("status " + std::to_string(slot - 1), t.byStatus[slot], describe_status(slot - 1));
    }
  }
  for (int slot = 0; slot < Tally::kTierSlots; ++slot) {
    if (t.byTier[slot] == 0) continue;
    add(std::string("tier ") + (slot < 4 ? static_cast<char>('A' + slot) : '?'), t.byTier[slot],
        "");
  }
  if (t.shortLines > 0) {
    add("short lines", t.shortLines,
        t.byStatus[Tally::status_slot(kStatusShortLine)] > 0
            ? "fewer than 1251 characters, rejected (--strict)"
            : "fewer than 1251 characters, missing positions read as blanks");
  }
  if (t.empty > 0) add("empty lines", t.empty, "skipped");
  std::fwrite(s.data(), 1, s.size(), stderr);
}

}  // namespace

int run_group(const GroupOptions& options) {
  const auto start = Clock::now();
  std::vector<std::string> names = options.inputs;
  if (names.empty()) names.push_back("-");

  std::vector<std::unique_ptr<Input>> inputs;
  std::string error;
  if (!open_inputs(names, inputs, error)) {
    std::fprintf(stderr, "cmg290: %s\n", error.c_str());
    return kExitFatal;
  }

  RowLayout layout;
  layout.format = options.format;
  if (names.size() > 1) layout.files = names;
  layout.withId = options.withId;
  layout.idStart = options.idStart;
  layout.idLength = options.idLength;
  const RowFormatter formatter(std::move(layout));

  OutputFile output;
  if (!output.open(options.output)) {
    std::fprintf(stderr, "cmg290: %s\n", output.error().c_str());
    return kExitFatal;
  }
  // Output written in place to one of the inputs (`>> in.txt`, or
  // `-o /dev/fd/3 3>> in.txt`) would have the run read its own results
  // without end. A file named with -o is safe: it is replaced only at the
  // end.
  struct stat st;
  if (const int fd = output.direct_descriptor();
      fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    for (const auto& in : inputs) {
      if (in->regular && in->device == st.st_dev && in->inode == st.st_ino) {
        std::fprintf(stderr, "cmg290: input %s is also %s%s\n", in->name.c_str(),
                     options.output.empty() || options.output == "-" ? "" : "the output ",
                     output.name().c_str());
        return kExitFatal;
      }
    }
  }

  std::uint64_t totalBytes = 0;
  for (const auto& in : inputs) {
    if (!in->regular) {
      totalBytes = 0;
      break;
    }
    totalBytes += in->size;
  }
  Progress progress(!options.quiet && isatty(STDERR_FILENO), totalBytes, start);

  Pipeline pipeline(options, formatter, inputs, output, progress);
  Outcome outcome = pipeline.run();
  if (outcome == Outcome::Done) {
    switch (output.commit()) {
      case WriteStatus::Ok:
        break;
      case WriteStatus::BrokenPipe:
        outcome = Outcome::BrokenPipe;
        break;
      case WriteStatus::Failed:
        outcome = Outcome::Failed;
        break;
    }
  }
  progress.clear();
  if (outcome == Outcome::BrokenPipe) {
    // Whoever read our output has all they wanted (`| head`).
    output.abandon();
    return kExitClean;
  }
  if (outcome == Outcome::Failed) {
    output.abandon();
    const std::string message = pipeline.error().empty() ? output.error() : pipeline.error();
    std::fprintf(stderr, "cmg290: %s\n", message.c_str());
    return kExitFatal;
  }

  const Tally& t = pipeline.tally();
  if (!options.quiet) {
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    print_summary(t, inputs.size(), seconds);
  }
  return options.failOnUngrouped && t.grouped() != t.records ? kExitRejected : kExitClean;
}

}  // namespace cmg290::cli
