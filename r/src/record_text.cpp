#include "record_text.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace cmg290::r {

namespace {

// Decodes UTF-8 into one byte per character; false at the first character
// above U+00FF or malformed sequence, whose code (or -1) and 1-based
// character position are then set.
bool latin1_from_utf8(std::string_view in, std::string& out, long& code, std::size_t& position) {
  out.clear();
  out.reserve(in.size());
  std::size_t i = 0;
  position = 0;
  while (i < in.size()) {
    ++position;
    const auto c = static_cast<unsigned char>(in[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    int extra = c >= 0xF0 && c < 0xF5 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : -1;
    if (c >= 0xF5) extra = -1;
    if (extra < 0 || in.size() - i <= static_cast<std::size_t>(extra)) {
      code = -1;
      return false;
    }
    long value = c & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(in[i + static_cast<std::size_t>(k)]);
      if ((next & 0xC0) != 0x80) {
        code = -1;
        return false;
      }
      value = (value << 6) | (next & 0x3F);
    }
    // Overlong and surrogate forms are malformed.
    const bool overlong = (extra == 2 && value < 0x800) || (extra == 3 && value < 0x10000);
    if (overlong || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) {
      code = -1;
      return false;
    }
    if (value > 0xFF) {
      code = value;  // a character a record cannot hold
      return false;
    }
    out += static_cast<char>(value);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return true;
}

}  // namespace

std::string_view record_bytes(SEXP text, const std::string& name, std::string& scratch) {
  const std::string_view bytes{CHAR(text), static_cast<std::size_t>(LENGTH(text))};
  const cetype_t encoding = Rf_getCharCE(text);
  if (encoding == CE_LATIN1 || encoding == CE_BYTES || !has_high_byte(bytes)) return bytes;
  // Text: marked UTF-8, or in the session's encoding, taken to be UTF-8.
  long code = 0;
  std::size_t position = 0;
  if (latin1_from_utf8(bytes, scratch, code, position)) return scratch;
  if (code < 0) {
    throw std::invalid_argument(name + ": text that is not valid UTF-8 at character " +
                                std::to_string(position) +
                                " (mark bytes with Encoding(x) <- \"latin1\" or \"bytes\")");
  }
  char hex[16];
  std::snprintf(hex, sizeof hex, "U+%04lX", code);
  throw std::invalid_argument(name + ": character " + hex + " at position " +
                              std::to_string(position) +
                              " is above U+00FF; a record holds one byte per position");
}

namespace {

std::string element_name(const char* name, std::size_t i) {
  return std::string(name) + "[" + std::to_string(i + 1) + "]";
}

}  // namespace

RecordViews::RecordViews(SEXP records, const char* name) : records_(records), name_(name) {
  if (TYPEOF(records) != STRSXP || Rf_isFactor(records)) {
    throw std::invalid_argument(std::string(name) + " must be a character vector, not " +
                                type_text(records));
  }
  const std::size_t n = static_cast<std::size_t>(XLENGTH(records));
  views_.resize(n);
  unchecked_.assign(n, 0);
  std::string scratch;
  for (std::size_t i = 0; i < n; ++i) {
    SEXP text = STRING_ELT(records, static_cast<R_xlen_t>(i));
    if (text == NA_STRING) {
      throw std::invalid_argument(element_name(name, i) + " is NA, expected a record");
    }
    views_[i] = {CHAR(text), static_cast<std::size_t>(LENGTH(text))};
    const cetype_t encoding = Rf_getCharCE(text);
    if (encoding == CE_NATIVE) {
      unchecked_[i] = 1;  // ASCII, most likely: the grouping threads look
    } else if (encoding == CE_UTF8) {
      converted_.emplace_back(record_bytes(text, element_name(name, i), scratch));
      convertedAt_.push_back(i);
    }
  }
  // converted_ has stopped growing: its strings stay where they are now.
  for (std::size_t k = 0; k < converted_.size(); ++k) views_[convertedAt_[k]] = converted_[k];
}

std::string_view RecordViews::settle(std::size_t i) {
  std::string scratch;
  const std::string_view bytes =
      record_bytes(STRING_ELT(records_, static_cast<R_xlen_t>(i)), element_name(name_, i), scratch);
  if (bytes.data() != scratch.data()) return bytes;
  late_.push_back(std::make_unique<std::string>(std::move(scratch)));
  views_[i] = *late_.back();
  return views_[i];
}

std::string_view one_record(SEXP x, const std::string& name, std::string& scratch) {
  if (TYPEOF(x) != STRSXP || Rf_isFactor(x) || XLENGTH(x) != 1) {
    throw std::invalid_argument(name + " must be one string, not " +
                                (TYPEOF(x) == STRSXP && !Rf_isFactor(x)
                                     ? std::to_string(XLENGTH(x)) + " strings"
                                     : type_text(x)));
  }
  if (STRING_ELT(x, 0) == NA_STRING) throw std::invalid_argument(name + " is NA");
  return record_bytes(STRING_ELT(x, 0), name, scratch);
}

std::string type_text(SEXP x) {
  if (Rf_isFactor(x)) return "a factor";
  return Rf_type2char(TYPEOF(x));
}

}  // namespace cmg290::r
