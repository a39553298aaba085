// read_records(path): a file of records, one per line, into a character
// vector, with the line rules of `cmg290 group` (its own line reader does
// the cutting): LF or CRLF, a last line without a line end counts, empty
// lines are skipped, a short line is filled out with blanks and a longer
// one keeps its first 1251 characters.
#include <Rcpp.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "chunk_cutter.h"
#include "cmg290/cmg290.h"
#include "fd_source.h"

namespace cmg290::r {

namespace {

constexpr std::size_t kRecord = cmg290::kRecordLength;
constexpr std::size_t kChunkBytes = std::size_t{1} << 20;

struct FileCloser {
  int fd;
  ~FileCloser() { ::close(fd); }
};

[[noreturn]] void refuse(const std::string& path, const std::string& why) {
  throw std::runtime_error("cannot read " + path + ": " + why);
}

// The records end to end, kRecord bytes each.
std::vector<char> read_lines(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) refuse(path, std::strerror(errno));
  FileCloser closer{fd};
  cli::FdSource source(fd);
  cli::ChunkCutter cutter(kChunkBytes, kRecord);
  std::unique_ptr<char[]> chunk(new char[kChunkBytes + 1]);
  std::vector<char> records;
  long long line = 0;
  for (;;) {
    const cli::ChunkFill fill = cutter.next(chunk.get(), source);
    if (fill.error != 0) refuse(path, std::strerror(static_cast<int>(-fill.error)));
    const char* p = chunk.get();
    const char* const end = p + fill.size;
    while (p < end) {
      const char* nl =
          static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
      const std::string_view text = cli::line_text(p, nl, fill.cut);
      p = nl + 1;
      ++line;
      if (text.empty()) continue;
      const std::size_t n = std::min(text.size(), kRecord);
      if (std::memchr(text.data(), '\0', n) != nullptr) {
        refuse(path, "line " + std::to_string(line) +
                         " holds a zero byte, which an R string cannot hold");
      }
      records.insert(records.end(), text.data(), text.data() + n);
      records.insert(records.end(), kRecord - n, ' ');
    }
    if (fill.end) return records;
  }
}

}  // namespace

}  // namespace cmg290::r

extern "C" SEXP cmg290_read_records(SEXP path) {
  BEGIN_RCPP
  const std::string name = Rcpp::as<std::string>(path);
  const std::vector<char> records = cmg290::r::read_lines(name);
  const std::size_t count = records.size() / cmg290::kRecordLength;
  SEXP out = PROTECT(Rf_allocVector(STRSXP, static_cast<R_xlen_t>(count)));
  for (std::size_t i = 0; i < count; ++i) {
    // Bytes past ASCII are taken as Latin-1, one character per position,
    // which gives the same bytes back to group(); R leaves an ASCII string
    // unmarked.
    SET_STRING_ELT(out, static_cast<R_xlen_t>(i),
                   Rf_mkCharLenCE(records.data() + i * cmg290::kRecordLength,
                                  static_cast<int>(cmg290::kRecordLength), CE_LATIN1));
  }
  UNPROTECT(1);
  return out;
  END_RCPP
}
