// read_records(path): a file of records, one per line, into a character
// vector, with the line rules of `cmg290 group` (its own line reader does
// the cutting): LF or CRLF, a last line without a line end counts, empty
// lines are skipped, a longer line keeps its first 1251 characters and a
// shorter one its own length, so that group() finds it short as the command
// does. A gzip file (by its magic bytes) is inflated as the command does.
#include <Rcpp.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

#include "batch/record_file.h"
#include "cmg290/cmg290.h"

extern "C" SEXP cmg290_read_records(SEXP path) {
  BEGIN_RCPP
  const std::string name = Rcpp::as<std::string>(path);
  cmg290::batch::RecordBlock records;
  const cmg290::batch::RecordFileRead read =
      cmg290::batch::read_record_file(name.c_str(), records, true);
  if (read.error != 0) {
    throw std::runtime_error("cannot read " + name + ": " + read.error_text());
  }
  if (read.zeroByteLine != 0) {
    throw std::runtime_error("cannot read " + name + ": line " + std::to_string(read.zeroByteLine) +
                             " holds a zero byte, which an R string cannot hold");
  }
  const std::size_t count = records.count();
  SEXP out = PROTECT(Rf_allocVector(STRSXP, static_cast<R_xlen_t>(count)));
  // The block's pages already made into R strings are given back as the
  // loop goes, so that the file is not held twice at the peak.
  const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(records.data());
  std::uintptr_t released = (start + page - 1) & ~(page - 1);
  for (std::size_t i = 0; i < count; ++i) {
    if ((i & 0xffff) == 0xffff) {
      const std::uintptr_t done = (start + i * cmg290::kRecordLength) & ~(page - 1);
      if (done > released) {
        madvise(reinterpret_cast<void*>(released), done - released, MADV_DONTNEED);
        released = done;
      }
    }
    // Bytes past ASCII are taken as Latin-1, one character per position,
    // which gives the same bytes back to group(); R leaves an ASCII string
    // unmarked. A record holds no zero byte, so its length is up to its
    // last byte that is not zero.
    SET_STRING_ELT(out, static_cast<R_xlen_t>(i),
                   Rf_mkCharLenCE(records.data() + i * cmg290::kRecordLength,
                                  static_cast<int>(records.length(i)), CE_LATIN1));
  }
  UNPROTECT(1);
  return out;
  END_RCPP
}
