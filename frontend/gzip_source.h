// A gzip-compressed input as a chunk cutter's source of bytes: reads the
// compressed bytes from another ByteSource (an FdSource, say), inflates
// them with zlib and hands out the plain bytes, in pieces no larger than
// each read() asks for. Memory stays bounded whatever the input: a room for
// compressed bytes read ahead and zlib's own state (about 45 KiB).
//
// Concatenated members are read one after another, as gzip(1) does. The
// input is damaged, and read() gives up with kDamaged, when a member's
// header or data is not valid, its CRC or length does not match what was
// inflated, the input ends inside a member, or bytes after a member do not
// start another one. Like a failing read, the damage comes after the bytes
// inflated before it, whatever the sizes of the reads.
//
// Sniffing: in Mode::kSniff the source looks at the first two bytes of the
// input. When they are the gzip magic bytes (1f 8b) it inflates; otherwise
// it hands the input out as it is, after those first bytes with no copy.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "chunk_cutter.h"

struct z_stream_s;

namespace cmg290::cli {

class GzipSource : public ByteSource {
 public:
  enum class Mode {
    kSniff,  // inflate if the input starts with the magic bytes, else pass it on
    kGzip,   // the input is gzip data: anything else is damaged
  };

  // What read() returns when the compressed data is damaged; damage() says
  // how. Other negative values are those of the raw source, handed on.
  static constexpr long kDamaged = LONG_MIN;

  // The room for compressed bytes read ahead, by default.
  static constexpr std::size_t kInBytes = std::size_t{64} << 10;

  // Whether `size` bytes at `data` start with the gzip magic bytes.
  static bool magic(const void* data, std::size_t size);

  explicit GzipSource(ByteSource& raw, Mode mode = Mode::kSniff, std::size_t inBytes = kInBytes);
  ~GzipSource() override;
  GzipSource(const GzipSource&) = delete;
  GzipSource& operator=(const GzipSource&) = delete;

  long read(char* buf, std::size_t n) override;

  // Whether the input is being inflated (known after the first read()).
  bool inflating() const {
    return phase_ == Phase::kMember || phase_ == Phase::kBetween || phase_ == Phase::kEnd ||
           phase_ == Phase::kDamaged;
  }

  // What is wrong with the compressed data, after read() gave kDamaged.
  const std::string& damage() const { return damage_; }

 private:
  enum class Phase {
    kStart,    // nothing read yet
    kPlain,    // not gzip: first the sniffed bytes, then the raw source
    kMember,   // inside a member
    kBetween,  // after a member: another, or the end
    kEnd,      // every member read
    kDamaged,
  };

  long sniff();
  long inflate_into(char* buf, std::size_t n);
  // After a member: starts the next one, or ends. Returns 0 to go on, or a
  // negative value to give up with.
  long next_member();
  // Reads more compressed bytes after the `avail_in` not yet inflated.
  // Returns how many, 0 at the end of the input, or the raw source's
  // negative value.
  long refill();
  long fail(std::string what);

  ByteSource& raw_;
  Mode mode_;
  std::size_t inBytes_;
  std::unique_ptr<unsigned char[]> in_;
  std::unique_ptr<z_stream_s> zs_;
  bool zInit_ = false;
  Phase phase_ = Phase::kStart;
  bool ended_ = false;         // the raw source has reached its end
  std::size_t pendingAt_ = 0;  // sniffed bytes still to hand out (kPlain)
  std::size_t pending_ = 0;
  std::string damage_;
};

}  // namespace cmg290::cli
