// edits_frame(records, workers, tier_set) and fields(records, names): every
// edit of many records one row each, found on the grouping threads, and the
// named fields of many records, as data frames.
//
// The grouping threads only note each edit in plain memory (batch
// EditRows); R's strings are made on R's thread once they have stopped.
#include <Rcpp.h>

#include <climits>
#include <stdexcept>
#include <string>
#include <vector>

#include "batch/edit_rows.h"
#include "batch/record_fields.h"
#include "record_text.h"
#include "text_columns.h"
#include "thread_count.h"
#include "tier_set_handle.h"

namespace cmg290::r {

namespace {

// A data frame's compact row names count its rows in an int.
void check_rows(std::size_t n, const char* what) {
  if (n > static_cast<std::size_t>(INT_MAX)) {
    throw std::invalid_argument(std::string(what) + ": more than " + std::to_string(INT_MAX) +
                                " rows do not fit one data frame; take the records in parts");
  }
}

SEXP code_text(std::string_view code) {
  return Rf_mkCharLen(code.data(), static_cast<int>(code.size()));
}

// `columns` (a protected list) named and made a data frame of `rows` rows.
SEXP as_data_frame(SEXP columns, const std::vector<std::string_view>& names, std::size_t rows) {
  SEXP columnNames = PROTECT(Rf_allocVector(STRSXP, static_cast<R_xlen_t>(names.size())));
  for (std::size_t c = 0; c < names.size(); ++c) {
    SET_STRING_ELT(columnNames, static_cast<R_xlen_t>(c), code_text(names[c]));
  }
  Rf_setAttrib(columns, R_NamesSymbol, columnNames);
  SEXP rowNames = PROTECT(Rf_allocVector(INTSXP, 2));
  INTEGER(rowNames)[0] = NA_INTEGER;
  INTEGER(rowNames)[1] = -static_cast<int>(rows);
  Rf_setAttrib(columns, R_RowNamesSymbol, rowNames);
  Rf_setAttrib(columns, R_ClassSymbol, Rf_mkString("data.frame"));
  UNPROTECT(2);
  return columns;
}

// The CHARSXPs of the catalogue's codes, the severities and the layout's
// field names, made once per call and kept in a protected vector.
class NameTexts {
 public:
  NameTexts() {
    texts_ = PROTECT(Rf_allocVector(STRSXP, kCodes + 2 + kFields));
    for (R_xlen_t i = 0; i < kCodes; ++i) {
      SET_STRING_ELT(texts_, i, code_text(cmg290::kEditCatalogue[i].code));
    }
    SET_STRING_ELT(texts_, kCodes, code_text(cmg290::severity_text(cmg290::EditSeverity::Error)));
    SET_STRING_ELT(texts_, kCodes + 1,
                   code_text(cmg290::severity_text(cmg290::EditSeverity::Warning)));
    for (R_xlen_t i = 0; i < kFields; ++i) {
      SET_STRING_ELT(texts_, kCodes + 2 + i, code_text(cmg290::kRecordLayout[i].name));
    }
  }
  ~NameTexts() { UNPROTECT(1); }
  NameTexts(const NameTexts&) = delete;
  NameTexts& operator=(const NameTexts&) = delete;

  SEXP code(const cmg290::Edit& e) const { return STRING_ELT(texts_, static_cast<int>(e.id)); }
  SEXP severity(const cmg290::Edit& e) const {
    return STRING_ELT(texts_, kCodes + (e.severity() == cmg290::EditSeverity::Error ? 0 : 1));
  }
  SEXP field(const cmg290::Edit& e) const {
    return e.field < 0 ? NA_STRING : STRING_ELT(texts_, kCodes + 2 + e.field);
  }

 private:
  static constexpr R_xlen_t kCodes = static_cast<R_xlen_t>(cmg290::kEditCount);
  static constexpr R_xlen_t kFields = static_cast<R_xlen_t>(cmg290::kRecordFieldCount);
  SEXP texts_;
};

}  // namespace

}  // namespace cmg290::r

extern "C" SEXP cmg290_edits_frame(SEXP records, SEXP workers, SEXP tierSet, SEXP id) {
  using namespace cmg290::r;
  namespace batch = cmg290::batch;
  BEGIN_RCPP
  batch::BatchSettings settings;
  settings.tierSet = tier_set_of(tierSet);
  const std::optional<cmg290::cli::IdRange> range = id_range(id);
  RecordViews views(records, "records");
  const std::size_t n = views.size();
  check_rows(n, "records");
  settings.threads = cmg290::cli::useful_threads(Rf_asInteger(workers), n);
  batch::RecordSource source;
  source.count = n;
  source.views = views.data();
  source.asciiOnly = views.unchecked();
  batch::EditRows rows(n);
  // With an id each record's is cut beside its edits; R's strings hold no
  // zero byte, nor do the ids cut from them.
  std::vector<char> idBytes(range ? n * range->length : 0);
  batch::IdColumn ids;
  if (range) ids = {idBytes.data(), *range};
  // Records to convert first are read here, on R's thread, once the
  // grouping threads have stopped (which may refuse them).
  for (std::size_t i : batch::find_batch_edits(source, settings, rows, ids)) {
    batch::settle_edit_row(views.settle(i), settings, rows, i, ids);
  }
  rows.finish();
  const std::size_t m = rows.size();
  check_rows(m, "edits");

  const NameTexts names;
  const auto length = static_cast<R_xlen_t>(m);
  SEXP frame = PROTECT(Rf_allocVector(VECSXP, 6));
  SEXP record = Rf_allocVector(range ? STRSXP : INTSXP, length);
  SET_VECTOR_ELT(frame, 0, record);
  SEXP text[5];
  for (int c = 0; c < 5; ++c) {
    text[c] = Rf_allocVector(STRSXP, length);
    SET_VECTOR_ELT(frame, c + 1, text[c]);
  }
  R_xlen_t k = 0;
  std::size_t lastRow = 0;  // the row of the edit before
  char message[cmg290::kEditMessageMax];
  rows.each([&](const batch::RowEdit& e) {
    if (!range) {
      INTEGER(record)[k] = static_cast<int>(e.row) + 1;
    } else if (k > 0 && lastRow == e.row) {
      SET_STRING_ELT(record, k, STRING_ELT(record, k - 1));
    } else {
      SET_STRING_ELT(record, k, byte_text({idBytes.data() + e.row * range->length, range->length}));
    }
    lastRow = e.row;
    SET_STRING_ELT(text[0], k, names.code(e.edit));
    SET_STRING_ELT(text[1], k, names.severity(e.edit));
    SET_STRING_ELT(text[2], k, names.field(e.edit));
    SET_STRING_ELT(text[3], k, byte_text(e.edit.value_text()));
    const std::size_t size = cmg290::write_edit_message(e.edit, message);
    SET_STRING_ELT(text[4], k, byte_text({message, size}));
    ++k;
  });
  as_data_frame(frame, {"record", "code", "severity", "field", "value", "message"}, m);
  UNPROTECT(1);
  return frame;
  END_RCPP
}

extern "C" SEXP cmg290_fields(SEXP records, SEXP namesArgument) {
  using namespace cmg290::r;
  namespace batch = cmg290::batch;
  BEGIN_RCPP
  std::vector<std::string> names;
  for (R_xlen_t i = 0; i < Rf_xlength(namesArgument); ++i) {
    names.emplace_back(Rf_translateCharUTF8(STRING_ELT(namesArgument, i)));
  }
  const std::vector<const cmg290::FieldLayout*> fields = batch::named_fields(names);
  RecordViews views(records, "records");
  const std::size_t n = views.size();
  check_rows(n, "records");
  SEXP frame = PROTECT(Rf_allocVector(VECSXP, static_cast<R_xlen_t>(fields.size())));
  std::vector<SEXP> columns;
  std::vector<std::string_view> columnNames;
  for (std::size_t f = 0; f < fields.size(); ++f) {
    columns.push_back(Rf_allocVector(STRSXP, static_cast<R_xlen_t>(n)));
    SET_VECTOR_ELT(frame, static_cast<R_xlen_t>(f), columns.back());
    columnNames.push_back(fields[f]->name);
  }
  for (std::size_t i = 0; i < n; ++i) {
    std::string_view record = views.data()[i];
    if (views.unchecked()[i] != 0 && has_high_byte(record)) record = views.settle(i);
    for (std::size_t f = 0; f < fields.size(); ++f) {
      SET_STRING_ELT(columns[f], static_cast<R_xlen_t>(i),
                     byte_text(batch::field_text(record, *fields[f])));
    }
  }
  as_data_frame(frame, columnNames, n);
  UNPROTECT(1);
  return frame;
  END_RCPP
}
