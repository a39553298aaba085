// group(records, workers, tier_set, edits, id): the result data frame of
// many records.
//
// R's thread reads the records into views, the grouping threads fill plain
// arrays (and cut the ids), and R's thread then makes the text columns from
// a few cached strings (text_columns.h).
#include <Rcpp.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include <climits>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "batch/group_batch.h"
#include "batch/path_batch.h"
#include "cmg290/cmg290.h"
#include "record_text.h"
#include "text_columns.h"
#include "thread_count.h"
#include "tier_set_handle.h"

namespace cmg290::r {

namespace {

// The columns of a frame, in order; id only with an id, edits only with
// edits.
enum Column {
  kId,
  kStatus,
  kDescription,
  kCmg,
  kTier,
  kRic,
  kMotor,
  kCognitive,
  kAge,
  kTableVersion,
  kGrouperVersion,
  kEdits,
  kColumnCount
};
const char* const kColumnNames[kColumnCount] = {
    "id",   "status",        "description",     "cmg",
    "tier", "ric",           "motor_score",     "cognitive_score",
    "age",  "table_version", "grouper_version", "edits"};

// A result frame of n rows: its columns made, the engine's arrays pointing
// into them; protected until done() gives it its names and class.
class Frame {
 public:
  Frame(std::size_t n, bool edits, const std::optional<cli::IdRange>& id) : n_(n) {
    // A data frame's compact row names count its rows in an int.
    if (n > static_cast<std::size_t>(INT_MAX)) {
      throw std::invalid_argument("records: more than " + std::to_string(INT_MAX) +
                                  " records do not fit one data frame; group them in parts");
    }
    for (int c = 0; c < kColumnCount; ++c) {
      if ((c == kId && !id) || (c == kEdits && !edits)) continue;
      at_[c] = columnCount_++;
    }
    const R_xlen_t rows = static_cast<R_xlen_t>(n);
    frame_ = PROTECT(Rf_allocVector(VECSXP, columnCount_));
    for (int c = kStatus; c < kColumnCount; ++c) {
      if (at_[c] < 0) continue;
      const SEXPTYPE type = c == kStatus || c == kCognitive || c == kAge ? INTSXP
                            : c == kMotor                                ? REALSXP
                                                                         : STRSXP;
      SET_VECTOR_ELT(frame_, at_[c], Rf_allocVector(type, rows));
    }
    const Column texts[TextColumnSet::kCount] = {kDescription, kCmg,          kTier,
                                                 kRic,         kTableVersion, kGrouperVersion};
    std::vector<batch::TextKey>* keys[TextColumnSet::kCount] = {
        &description_, &cmg_, &tier_, &ric_, &tableVersion_, &grouperVersion_};
    for (int k = 0; k < TextColumnSet::kCount; ++k) {
      keys[k]->resize(n);
      textSet.column[k] = column(texts[k]);
      textSet.keys[k] = keys[k]->data();
    }
    editKeys_.resize(edits ? n : 0);
    if (edits) textSet.edits = column(kEdits);
    if (id) {
      idBytes_.resize(n * id->length);
      columns.id = {idBytes_.data(), *id};
    }
    columns.status = {INTEGER(column(kStatus)), false};
    columns.cognitiveScore = {INTEGER(column(kCognitive)), false};
    columns.age = {INTEGER(column(kAge)), false};
    columns.motorScore = REAL(column(kMotor));
    columns.description = description_.data();
    columns.cmg = cmg_.data();
    columns.tier = tier_.data();
    columns.ric = ric_.data();
    columns.tableVersion = tableVersion_.data();
    columns.grouperVersion = grouperVersion_.data();
    columns.edits = edits ? editKeys_.data() : nullptr;
    columns.missingInt = NA_INTEGER;
    columns.missingReal = NA_REAL;
  }
  Frame(const Frame&) = delete;
  Frame& operator=(const Frame&) = delete;

  // The frame, its ids put in, named and classed, no longer protected.
  SEXP done() {
    if (at_[kId] >= 0) {
      SET_VECTOR_ELT(frame_, at_[kId], id_column(idBytes_, n_, columns.id.range.length));
    }
    SEXP names = PROTECT(Rf_allocVector(STRSXP, columnCount_));
    for (int c = 0; c < kColumnCount; ++c) {
      if (at_[c] >= 0) SET_STRING_ELT(names, at_[c], Rf_mkChar(kColumnNames[c]));
    }
    Rf_setAttrib(frame_, R_NamesSymbol, names);
    SEXP rowNames = PROTECT(Rf_allocVector(INTSXP, 2));
    INTEGER(rowNames)[0] = NA_INTEGER;
    INTEGER(rowNames)[1] = -static_cast<int>(n_);
    Rf_setAttrib(frame_, R_RowNamesSymbol, rowNames);
    Rf_setAttrib(frame_, R_ClassSymbol, Rf_mkString("data.frame"));
    UNPROTECT(3);
    return frame_;
  }

  batch::BatchColumns columns;
  TextColumnSet textSet;

 private:
  SEXP column(Column c) const { return VECTOR_ELT(frame_, at_[c]); }

  std::size_t n_;
  int at_[kColumnCount] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  int columnCount_ = 0;
  SEXP frame_;
  std::vector<batch::TextKey> description_, cmg_, tier_, ric_, tableVersion_, grouperVersion_;
  std::vector<batch::EditKey> editKeys_;
  std::vector<char> idBytes_;
};

[[noreturn]] void file_error(const std::string& path, const batch::PathBatch& file, int error) {
  throw std::runtime_error("cannot read " + path + ": " + file.error_text(error));
}

}  // namespace

}  // namespace cmg290::r

extern "C" SEXP cmg290_group(SEXP records, SEXP workers, SEXP tierSet, SEXP withEdits, SEXP id) {
  using namespace cmg290::r;
  namespace batch = cmg290::batch;
  namespace cli = cmg290::cli;
  BEGIN_RCPP
  batch::BatchSettings settings;
  settings.tierSet = tier_set_of(tierSet);
  settings.edits = Rf_asLogical(withEdits) == TRUE;
  const std::optional<cli::IdRange> range = id_range(id);
  RecordViews views(records, "records");
  const std::size_t n = views.size();
  Frame frame(n, settings.edits, range);
  settings.threads = cli::useful_threads(Rf_asInteger(workers), n);
  batch::RecordSource source;
  source.count = n;
  source.views = views.data();
  source.asciiOnly = views.unchecked();
  TextColumns texts(frame.textSet, frame.columns, n);
  batch::group_batch(source, settings, frame.columns, &texts);
  texts.finish(&views, source, settings);
  return frame.done();
  END_RCPP
}

// group(file = path): the records of a file, one per line, read and grouped
// on the threads where the file lies, with the line rules of `cmg290
// group`; no R string is made for a record.
extern "C" SEXP cmg290_group_file(SEXP path, SEXP workers, SEXP tierSet, SEXP withEdits, SEXP id) {
  using namespace cmg290::r;
  namespace batch = cmg290::batch;
  namespace cli = cmg290::cli;
  BEGIN_RCPP
  batch::BatchSettings settings;
  settings.tierSet = tier_set_of(tierSet);
  settings.edits = Rf_asLogical(withEdits) == TRUE;
  const std::optional<cli::IdRange> range = id_range(id);
  const std::string name = Rcpp::as<std::string>(path);
  batch::PathBatch file;
  if (const int error = file.open(name.c_str()); error != 0) file_error(name, file, error);
  const int asked = Rf_asInteger(workers);
  // As many threads as the most records the file could hold could use: the
  // grouping has no more than the counting. The lines are grouped as they
  // are counted: the file is read once.
  if (const int error = file.count(cli::useful_threads(asked, file.size() / 2), &settings,
                                   range ? *range : cli::IdRange{});
      error != 0) {
    file_error(name, file, error);
  }
  const std::size_t n = file.records();
  // Each record's line in the file, from 1, for group() to put first in the
  // frame; protected below the frame, which done() unprotects.
  SEXP line = PROTECT(Rf_allocVector(INTSXP, static_cast<R_xlen_t>(n)));
  Frame frame(n, settings.edits, range);
  frame.columns.line = {INTEGER(line), false};
  settings.threads = cli::useful_threads(asked, n);
  TextColumns texts(frame.textSet, frame.columns, n);
  if (const int error = file.group(settings, frame.columns, &texts); error != 0) {
    file_error(name, file, error);
  }
  texts.finish(nullptr, file.source(), settings);
  SEXP result = PROTECT(frame.done());
  SEXP both = PROTECT(Rf_allocVector(VECSXP, 2));
  SET_VECTOR_ELT(both, 0, result);
  SET_VECTOR_ELT(both, 1, line);
  UNPROTECT(3);
  return both;
  END_RCPP
}
