// A file descriptor as a chunk cutter's source of bytes: read() retried when
// a signal interrupts it, any other failure handed back as -errno.
#pragma once

#include <unistd.h>

#include <cerrno>

#include "chunk_cutter.h"

namespace cmg290::cli {

class FdSource : public ByteSource {
 public:
  explicit FdSource(int fd) : fd_(fd) {}
  long read(char* buf, std::size_t n) override {
    for (;;) {
      const ssize_t got = ::read(fd_, buf, n);
      if (got >= 0) return static_cast<long>(got);
      if (errno != EINTR) return -static_cast<long>(errno);
    }
  }

 private:
  int fd_;
};

}  // namespace cmg290::cli
