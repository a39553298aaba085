#include "record_lines.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "chunk_cutter.h"
#include "fd_source.h"
#include "gzip_source.h"

namespace cmg290::cli {

namespace {

// Chunks of 1 MiB; a longer line keeps its first 64 KiB, far more than a
// record's 1251 positions.
constexpr std::size_t kChunkBytes = std::size_t{1} << 20;
constexpr std::size_t kKeepBytes = std::size_t{64} << 10;

}  // namespace

bool for_each_line(const batch::Input& input,
                   const std::function<bool(std::int64_t, std::string_view)>& line,
                   std::string& error) {
  ChunkCutter cutter(kChunkBytes, kKeepBytes);
  const std::unique_ptr<char[]> data(new char[kChunkBytes + 1]);
  FdSource source(input.fd);
  // Read from its start, an input is sniffed for gzip data as it is read.
  GzipSource bytes(source);
  std::int64_t number = 0;
  for (;;) {
    const ChunkFill fill = cutter.next(data.get(), bytes);
    if (fill.error != 0) {
      error = "cannot read " + input.name + ": " +
              (fill.error == GzipSource::kDamaged ? bytes.damage()
                                                  : std::strerror(static_cast<int>(-fill.error)));
      return false;
    }
    if (fill.end && shrunk(input)) {
      error = "cannot read " + input.name + ": " + batch::kCutShortMessage;
      return false;
    }
    const char* p = data.get();
    const char* end = p + fill.size;
    while (p < end) {
      const char* nl = static_cast<const char*>(std::memchr(p, '\n', end - p));
      if (!line(++number, line_text(p, nl, fill.cut))) return true;
      p = nl + 1;
    }
    if (fill.end) return true;
  }
}

}  // namespace cmg290::cli
