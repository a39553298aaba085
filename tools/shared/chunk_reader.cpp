#include "chunk_reader.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "gzip_source.h"
#include "mapped_cutter.h"

namespace cmg290::cli::batch {

namespace {

// Chunk sizes: at most 4 MiB of input per chunk, smaller when many threads
// share the budget, so that all chunk buffers together stay near 40 MiB.
constexpr std::size_t kMaxChunkBytes = std::size_t{4} << 20;
constexpr std::size_t kMinChunkBytes = std::size_t{256} << 10;
constexpr std::size_t kChunkBudget = std::size_t{40} << 20;

std::size_t chunk_bytes_for(std::size_t chunks) {
  return std::clamp(kChunkBudget / (2 * chunks), kMinChunkBytes, kMaxChunkBytes);
}

}  // namespace

ChunkReader::ChunkReader(const std::vector<std::unique_ptr<Input>>& inputs, std::size_t chunks,
                         std::size_t keepBytes)
    : inputs_(inputs), cutter_(chunk_bytes_for(chunks), keepBytes) {
  for (const auto& in : inputs) {
    if (in->regular && !in->gzip) {
      arena_ = WindowArena::create(chunks, chunk_bytes() + WindowArena::page_size());
      break;
    }
  }
}

void ChunkReader::equip(InputChunk& c, std::size_t slot) const {
  // One spare byte for the line end added to an unterminated last line.
  c.buffer.reset(new char[chunk_bytes() + 1]);
  c.slot = slot;
}

void ChunkReader::unmap(InputChunk& c) {
  if (c.mapped) {
    arena_->unmap(c.slot);
    c.mapped = false;
  }
}

void ChunkReader::release(Slots& slots, InputChunk* c) {
  unmap(*c);
  slots.release(c);
}

// One input as the cutter's source of bytes, counting what it reads: read()
// that gives up when the run is stopped while it waits on a pipe or
// terminal, with -1 on error (error() tells which) and -2 when stopped.
class ChunkReader::Source : public ByteSource {
 public:
  Source(const Input& in, int wake, std::uint64_t& bytes) : in_(in), wake_(wake), bytes_(bytes) {}

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
      if (got > 0) bytes_ += static_cast<std::uint64_t>(got);
      return got;
    }
  }
  int error() const { return error_; }

 private:
  const Input& in_;
  int wake_;
  std::uint64_t& bytes_;
  int error_ = 0;
};

bool ChunkReader::read_all(Slots& slots, int wakeFd) {
  wake_ = wakeFd;
  bytes_ = 0;
  for (std::size_t file = 0; file < inputs_.size(); ++file) {
    if (!read_file(slots, file)) return false;
  }
  return true;
}

bool ChunkReader::read_file(Slots& slots, std::size_t file) {
  const Input& in = *inputs_[file];
  bool first = true;
  if (in.regular && !in.gzip && arena_ != nullptr && !read_mapped(slots, file, first)) {
    return false;
  }
  Source source(in, wake_, bytes_);
  // A regular file was sniffed when opened, and what a plain one gains
  // after its mapped part is read as it is; anything else is sniffed here.
  std::optional<GzipSource> gzip;
  if (in.gzip || !in.regular) {
    gzip.emplace(source, in.gzip ? GzipSource::Mode::kGzip : GzipSource::Mode::kSniff);
  }
  ByteSource& bytes = gzip ? static_cast<ByteSource&>(*gzip) : source;
  cutter_.reset();
  for (;; first = false) {
    InputChunk* c = slots.acquire();
    if (c == nullptr) return false;
    c->data = c->buffer.get();
    const ChunkFill fill = cutter_.next(c->buffer.get(), bytes);
    if (fill.error != 0 || (fill.end && shrunk(in))) {
      // -2: stopped, by a failure elsewhere that has its own message.
      if (fill.error != -2) {
        slots.fail("cannot read " + in.name + ": " +
                   (fill.error == 0                      ? kCutShortMessage
                    : fill.error == GzipSource::kDamaged ? gzip->damage()
                                                         : std::strerror(source.error())));
      }
      release(slots, c);
      return false;
    }
    if (fill.size == 0) {
      release(slots, c);
      return true;
    }
    c->size = fill.size;
    c->cut = fill.cut;
    c->file = file;
    c->firstOfFile = first;
    // Inflated bytes carried over are not input bytes: count what was read.
    c->bytesEnd = gzip && gzip->inflating() ? bytes_ : bytes_ - cutter_.carried();
    slots.submit(c);
    if (fill.end) return true;
  }
}

bool ChunkReader::read_mapped(Slots& slots, std::size_t file, bool& first) {
  const Input& in = *inputs_[file];
  struct stat st;
  const off_t start = lseek(in.fd, 0, SEEK_CUR);
  // Files that report no size (those of /proc, say) are read with read().
  if (start < 0 || fstat(in.fd, &st) != 0 || st.st_size <= start) return true;
  MappedCutter cutter(*arena_, cutter_.chunk_bytes(), cutter_.keep_bytes());
  cutter.reset(in.fd, static_cast<std::uint64_t>(start), static_cast<std::uint64_t>(st.st_size));
  for (;;) {
    InputChunk* c = slots.acquire();
    if (c == nullptr) return false;
    const std::uint64_t before = cutter.position();
    const MappedChunk m = cutter.next(c->slot, c->buffer.get());
    if (m.error != 0 && first && before == static_cast<std::uint64_t>(start)) {
      // A file system that cannot map its files: read this one instead.
      release(slots, c);
      return true;
    }
    if (m.error != 0 || m.cutShort) {
      slots.fail("cannot read " + in.name + ": " +
                 (m.cutShort ? std::string(kCutShortMessage) : std::strerror(m.error)));
      release(slots, c);
      return false;
    }
    if (m.size == 0) {
      release(slots, c);
      break;
    }
    c->data = m.data;
    c->size = m.size;
    c->cut = m.cut;
    c->mapped = m.mapped;
    c->file = file;
    c->firstOfFile = first;
    first = false;
    bytes_ += cutter.position() - before;
    c->bytesEnd = bytes_;
    slots.submit(c);
  }
  if (lseek(in.fd, static_cast<off_t>(cutter.position()), SEEK_SET) < 0) {
    const int err = errno;
    slots.fail("cannot read " + in.name + ": " + std::strerror(err));
    return false;
  }
  return true;
}

}  // namespace cmg290::cli::batch
