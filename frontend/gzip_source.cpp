#include "gzip_source.h"

#include <zlib.h>

#include <algorithm>
#include <cassert>
#include <cstring>

namespace cmg290::cli {

namespace {

// zlib's words for a damaged trailer, in the words of the command's
// messages; any other of its messages is clear as it is.
std::string damage_text(const char* msg) {
  if (msg == nullptr) return "invalid compressed data";
  if (std::strcmp(msg, "incorrect data check") == 0) return "CRC mismatch";
  if (std::strcmp(msg, "incorrect length check") == 0) return "length mismatch";
  return msg;
}

}  // namespace

bool GzipSource::magic(const void* data, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  return size >= 2 && p[0] == 0x1f && p[1] == 0x8b;
}

GzipSource::GzipSource(ByteSource& raw, Mode mode, std::size_t inBytes)
    : raw_(raw), mode_(mode), inBytes_(std::max<std::size_t>(inBytes, 2)), zs_(new z_stream_s{}) {}

GzipSource::~GzipSource() {
  if (zInit_) inflateEnd(zs_.get());
}

long GzipSource::fail(std::string what) {
  phase_ = Phase::kDamaged;
  damage_ = "damaged gzip data: " + what;
  return kDamaged;
}

long GzipSource::refill() {
  z_stream_s& zs = *zs_;
  // What zlib has not taken yet moves to the front of the room.
  if (zs.avail_in > 0 && zs.next_in != in_.get()) std::memmove(in_.get(), zs.next_in, zs.avail_in);
  zs.next_in = in_.get();
  // Once the raw source has ended it is not asked again: a terminal would
  // wait for a second end of input.
  if (ended_) return 0;
  const long got =
      raw_.read(reinterpret_cast<char*>(in_.get()) + zs.avail_in, inBytes_ - zs.avail_in);
  if (got > 0) zs.avail_in += static_cast<uInt>(got);
  if (got == 0) ended_ = true;
  return got;
}

long GzipSource::sniff() {
  in_.reset(new unsigned char[inBytes_]);
  z_stream_s& zs = *zs_;
  zs.next_in = in_.get();
  zs.avail_in = 0;
  // Two bytes tell; a pipe may hand them out one at a time.
  while (zs.avail_in < 2) {
    const long got = refill();
    if (got < 0) return got;
    if (got == 0) break;
  }
  if (mode_ == Mode::kSniff && !magic(in_.get(), zs.avail_in)) {
    phase_ = Phase::kPlain;
    pendingAt_ = 0;
    pending_ = zs.avail_in;
    return 0;
  }
  // 16 + MAX_WBITS: gzip members only, with the largest window.
  const int rc = inflateInit2(&zs, 16 + MAX_WBITS);
  if (rc != Z_OK) return fail(rc == Z_MEM_ERROR ? "out of memory" : damage_text(zs.msg));
  zInit_ = true;
  phase_ = Phase::kMember;
  return 0;
}

long GzipSource::read(char* buf, std::size_t n) {
  if (phase_ == Phase::kStart) {
    if (const long rc = sniff(); rc < 0) return rc;
  }
  switch (phase_) {
    case Phase::kPlain:
      if (pending_ > 0) {
        const std::size_t take = std::min(n, pending_);
        std::memcpy(buf, in_.get() + pendingAt_, take);
        pendingAt_ += take;
        pending_ -= take;
        return static_cast<long>(take);
      }
      if (ended_) return 0;
      if (const long got = raw_.read(buf, n); got != 0) return got;
      ended_ = true;
      return 0;
    case Phase::kEnd:
      return 0;
    case Phase::kDamaged:
      return kDamaged;
    default:
      return inflate_into(buf, n);
  }
}

long GzipSource::next_member() {
  z_stream_s& zs = *zs_;
  // A next member shows itself by its magic bytes; the end of the input
  // right after a member is the end.
  while (zs.avail_in < 2) {
    const long got = refill();
    if (got < 0) return got;
    if (got == 0) break;
  }
  if (zs.avail_in == 0) {
    phase_ = Phase::kEnd;
    return 0;
  }
  if (!magic(zs.next_in, zs.avail_in)) {
    return fail("bytes after the compressed data that start no other gzip member");
  }
  inflateReset(&zs);
  phase_ = Phase::kMember;
  return 0;
}

long GzipSource::inflate_into(char* buf, std::size_t n) {
  z_stream_s& zs = *zs_;
  // A call hands out at most what fits in zlib's 32-bit counts.
  n = std::min<std::size_t>(n, UINT_MAX);
  for (;;) {
    if (phase_ == Phase::kBetween) {
      if (const long rc = next_member(); rc < 0) return rc;
      if (phase_ == Phase::kEnd) return 0;
    }
    if (zs.avail_in == 0) {
      if (const long got = refill(); got < 0) return got;
    }
    zs.next_out = reinterpret_cast<unsigned char*>(buf);
    zs.avail_out = static_cast<uInt>(n);
    const int rc = inflate(&zs, Z_NO_FLUSH);
    const std::size_t made = n - zs.avail_out;
    long failed = 0;
    switch (rc) {
      case Z_STREAM_END:
        phase_ = Phase::kBetween;
        break;
      case Z_OK:
      case Z_BUF_ERROR:  // all input taken, none made: read on
        break;
      case Z_MEM_ERROR:
        failed = fail("out of memory");
        break;
      default:  // Z_DATA_ERROR, Z_NEED_DICT, Z_STREAM_ERROR
        failed = fail(damage_text(zs.msg));
    }
    // What was inflated before the damage goes out first, as it would have
    // in smaller reads; the next read gives up.
    if (made > 0) return static_cast<long>(made);
    if (failed != 0) return failed;
    // Nothing more to make of what was read, and nothing more to read. (zlib
    // may hold output of input it has taken: the end is only the end once
    // it has handed that out.)
    if (rc == Z_BUF_ERROR && zs.avail_in == 0 && ended_) {
      return fail("the data ends inside a member: the file is truncated");
    }
  }
}

}  // namespace cmg290::cli
