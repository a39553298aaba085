#include "text_columns.h"

#include <cstring>

#include <stdexcept>
#include "cmg290/cmg290.h"

namespace cmg290::r {

namespace {

// A text of one result by its column (TextColumnSet's order): for a row
// whose key the engine lacks, grouped again.
std::string result_text(const cmg290::Result& r, int column) {
  switch (column) {
    case 0:
      return cmg290::status_text(r.status);
    case 1:
      return r.cmg;
    case 2:
      return std::string(r.cmg, 1);
    case 3:
      return std::string(r.cmg).substr(1, 2);
    case 4:
      return r.tableVersion;
    default:
      return r.grouperVersion;
  }
}

}  // namespace

SEXP TextCache::text(batch::TextKey key) {
  if (key == batch::kNoText) return NA_STRING;
  SEXP& text = texts_[key];
  if (text == nullptr) {
    const std::string_view s = batch::text_keys().text(key);
    text = Rf_mkCharLen(s.data(), static_cast<int>(s.size()));
  }
  return text;
}

SEXP TextCache::edits(batch::EditKey key) {
  if (key == batch::kNoEdits) return R_BlankString;
  SEXP& text = edits_[key];
  if (text == nullptr) text = Rf_mkChar(batch::edit_key_text(key).c_str());
  return text;
}

void TextColumns::rows(std::size_t begin, std::size_t end) noexcept {
  for (std::size_t i = begin; i < end; ++i) {
    if (batch::row_needs_caller(c_, i)) {
      left_[i] = 1;
    } else if (!put_known(i)) {
      // A text not made yet: made in a context of its own, so that an
      // error of R's (out of memory) cannot leave this thread while the
      // others run; the row is then left for finish().
      Made made{this, i};
      if (!R_ToplevelExec(&TextColumns::make, &made)) left_[i] = 1;
    }
  }
}

void TextColumns::finish(RecordViews* views, const batch::RecordSource& source,
                         const batch::BatchSettings& settings) {
  for (std::size_t i = 0; i < left_.size(); ++i) {
    if (left_[i] == 0) continue;
    if (c_.cmg[i] == batch::kUnsettled) batch::group_row(views->settle(i), settings, c_, i);
    if (batch::row_needs_caller(c_, i)) {
      char room[cmg290::kRecordLength];
      std::string_view record;
      if (views != nullptr) {
        record = views->data()[i];
      } else {
        source.get(i, room, record);
      }
      put_odd(record, settings, i);
    }
    put_made(i);
  }
}

// A text no table gives today, or more edits than a key holds: the record
// grouped again for the texts.
void TextColumns::put_odd(std::string_view record, const batch::BatchSettings& settings,
                          std::size_t i) {
  const cmg290::Result r = batch::group_one(record, settings.tierSet);
  const R_xlen_t row = static_cast<R_xlen_t>(i);
  for (int k = 0; k < TextColumnSet::kCount; ++k) {
    if (set_.keys[k] != nullptr && set_.keys[k][i] == batch::kOddText) {
      SET_STRING_ELT(set_.column[k], row, byte_text(result_text(r, k)));
    }
  }
  if (c_.edits != nullptr && c_.edits[i] == batch::kManyEdits) {
    cmg290::Edits edits;
    batch::find_record_edits(record, r, settings.tierSet, edits);
    SET_STRING_ELT(set_.edits, row, Rf_mkChar(batch::edit_codes_text(edits).c_str()));
  }
}

void TextColumns::make(void* data) {
  const Made* made = static_cast<const Made*>(data);
  made->columns->put_made(made->row);
}

// Row i from texts made already; false, with nothing put in, when one is
// not.
bool TextColumns::put_known(std::size_t i) noexcept {
  SEXP texts[TextColumnSet::kCount];
  for (int k = 0; k < TextColumnSet::kCount; ++k) {
    texts[k] = set_.keys[k] != nullptr ? cache_.known(set_.keys[k][i]) : R_NilValue;
    if (texts[k] == nullptr) return false;
  }
  SEXP edits = c_.edits != nullptr ? cache_.known_edits(c_.edits[i]) : R_NilValue;
  if (edits == nullptr) return false;
  const R_xlen_t row = static_cast<R_xlen_t>(i);
  for (int k = 0; k < TextColumnSet::kCount; ++k) {
    if (set_.keys[k] != nullptr) SET_STRING_ELT(set_.column[k], row, texts[k]);
  }
  if (c_.edits != nullptr) SET_STRING_ELT(set_.edits, row, edits);
  return true;
}

// Row i, making its texts where needed: each is put into its column as
// soon as it is made, which keeps it from R's garbage collector. The texts
// of an odd row, and the edits of a row of more than a key holds, are put
// in by finish().
void TextColumns::put_made(std::size_t i) {
  const R_xlen_t row = static_cast<R_xlen_t>(i);
  for (int k = 0; k < TextColumnSet::kCount; ++k) {
    if (set_.keys[k] != nullptr && set_.keys[k][i] != batch::kOddText) {
      SET_STRING_ELT(set_.column[k], row, cache_.text(set_.keys[k][i]));
    }
  }
  if (c_.edits != nullptr && c_.edits[i] != batch::kManyEdits) {
    SET_STRING_ELT(set_.edits, row, cache_.edits(c_.edits[i]));
  }
}

std::optional<cli::IdRange> id_range(SEXP id) {
  if (Rf_isNull(id)) return std::nullopt;
  if (TYPEOF(id) != INTSXP || XLENGTH(id) != 2 || INTEGER(id)[0] == NA_INTEGER ||
      INTEGER(id)[1] == NA_INTEGER) {
    throw std::invalid_argument("id must be NULL or c(start, length), two whole numbers");
  }
  const int start = INTEGER(id)[0], length = INTEGER(id)[1];
  const std::string wrong =
      start < 1 || length < 1
          ? std::string("wants START 1 or more")
          : cli::check_id_range(static_cast<std::size_t>(start), static_cast<std::size_t>(length),
                                cmg290::kRecordLength, cmg290::kRecordLength);
  if (!wrong.empty()) {
    throw std::invalid_argument("id c(" + std::to_string(start) + ", " + std::to_string(length) +
                                ") " + wrong + ", the last a record holds");
  }
  return cli::IdRange{static_cast<std::size_t>(start - 1), static_cast<std::size_t>(length)};
}

SEXP id_column(const std::vector<char>& bytes, std::size_t rows, std::size_t length) {
  SEXP column = PROTECT(Rf_allocVector(STRSXP, static_cast<R_xlen_t>(rows)));
  for (std::size_t i = 0; i < rows; ++i) {
    const std::string_view id(bytes.data() + i * length, length);
    if (std::memchr(id.data(), '\0', id.size()) != nullptr) {
      UNPROTECT(1);
      throw std::invalid_argument("id: the id of record " + std::to_string(i + 1) +
                                  " holds a zero byte, which an R string cannot hold");
    }
    SET_STRING_ELT(column, static_cast<R_xlen_t>(i), byte_text(id));
  }
  UNPROTECT(1);
  return column;
}

}  // namespace cmg290::r
