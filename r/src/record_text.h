// Records held by R character vectors, as the grouper reads them: one byte
// per position.
//
// A string marked "bytes" or "latin1", and any ASCII string, is taken as it
// is. Any other string is text: each character U+0000 to U+00FF becomes one
// byte (Latin-1), and a character above U+00FF cannot be a record position.
#pragma once

// Rcpp, included after this in places, wants R's API without its short names.
#ifndef R_NO_REMAP
#define R_NO_REMAP
#endif
#include <Rinternals.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "batch/record_source.h"

namespace cmg290::r {

using batch::has_high_byte;

// The bytes of `text` (a CHARSXP, not NA). A string marked "latin1" or
// "bytes", and any string of ASCII, is taken as it is; any other is UTF-8
// text (R marks it so, or it is in the session's encoding, which is taken
// to be UTF-8), converted to one byte per character in `scratch`, where the
// view then points. Throws std::invalid_argument, with a message that
// starts with `name`, for a character above U+00FF or text that is not
// valid UTF-8.
std::string_view record_bytes(SEXP text, const std::string& name, std::string& scratch);

// Every element of a character vector, as views that stay valid while
// `records` and this object live. NA is refused, naming the element
// ("records[17]", 1-based), and so is anything but a character vector,
// naming its type (std::invalid_argument). Strings marked UTF-8 are
// converted here; strings in the session's encoding are ASCII as a rule,
// which the grouping threads check (unchecked()) and settle() converts
// where not.
class RecordViews {
 public:
  RecordViews(SEXP records, const char* name);

  std::size_t size() const { return views_.size(); }
  const std::string_view* data() const { return views_.data(); }
  // Per element: 1 when it may hold bytes that must be converted first.
  const unsigned char* unchecked() const { return unchecked_.data(); }
  // Converts element i as record_bytes does (or throws as it does) and
  // returns its view from now on.
  std::string_view settle(std::size_t i);

 private:
  SEXP records_;
  const char* name_;
  std::vector<std::string_view> views_;
  std::vector<unsigned char> unchecked_;
  std::vector<std::string> converted_;              // elements marked UTF-8
  std::vector<std::size_t> convertedAt_;            // and their positions
  std::vector<std::unique_ptr<std::string>> late_;  // elements settled
};

// One record argument: a single string, not NA, as record_bytes reads it;
// std::invalid_argument naming `name` otherwise.
std::string_view one_record(SEXP x, const std::string& name, std::string& scratch);

// A string (CHARSXP) of bytes taken from a record: Latin-1, one character
// per byte, like the record itself (R cannot hold a zero byte, so a record
// from R holds none either).
inline SEXP byte_text(std::string_view bytes) {
  const cetype_t encoding = has_high_byte(bytes) ? CE_LATIN1 : CE_NATIVE;
  return Rf_mkCharLenCE(bytes.data(), static_cast<int>(bytes.size()), encoding);
}

// A short description of an R object's type for messages: "a factor",
// "double", "NULL", "list".
std::string type_text(SEXP x);

}  // namespace cmg290::r
