// group(records, workers, tier_set, edits): the result data frame of many
// records.
//
// R's thread reads the records into views, the grouping threads fill plain
// arrays, and R's thread then makes the text columns from a few cached
// strings: one per description, CMG, table version, grouper version and
// distinct list of edits.
#include <Rcpp.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include <climits>
#include <cstring>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "batch/group_batch.h"
#include "batch/path_batch.h"
#include "record_text.h"
#include "thread_count.h"
#include "tier_set_handle.h"

namespace cmg290::r {

namespace {

using batch::EditKey;
using batch::TextKey;

// The columns; the last only with edits.
constexpr int kColumns = 9;
constexpr int kEditsColumn = 8;
const char* const kColumnNames[kColumns] = {"status",        "description",     "cmg",
                                            "motor_score",   "cognitive_score", "age",
                                            "table_version", "grouper_version", "edits"};

// The strings of the few texts a column holds, made on first use. They are
// kept alive by the columns they are put into, and made only just before.
class TextCache {
 public:
  TextCache() : texts_(batch::text_keys().size(), nullptr) {}

  // The same texts when made already, else nullptr; these make nothing.
  SEXP known(TextKey key) const noexcept {
    if (key == batch::kNoText) return NA_STRING;
    return key < texts_.size() ? texts_[key] : nullptr;
  }
  SEXP known_edits(EditKey key) const noexcept {
    if (key == batch::kNoEdits) return R_BlankString;
    const auto it = edits_.find(key);
    return it == edits_.end() ? nullptr : it->second;
  }

  // The text of a key below the keys' size; kNoText is NA.
  SEXP text(TextKey key) {
    if (key == batch::kNoText) return NA_STRING;
    SEXP& text = texts_[key];
    if (text == nullptr) {
      const std::string_view s = batch::text_keys().text(key);
      text = Rf_mkCharLen(s.data(), static_cast<int>(s.size()));
    }
    return text;
  }

  // The codes of a key other than kManyEdits joined with ";".
  SEXP edits(EditKey key) {
    if (key == batch::kNoEdits) return R_BlankString;
    SEXP& text = edits_[key];
    if (text == nullptr) text = Rf_mkChar(batch::edit_key_text(key).c_str());
    return text;
  }

 private:
  std::vector<SEXP> texts_;
  std::unordered_map<EditKey, SEXP> edits_;
};

// Fills the text columns. While the grouping threads run it only puts in
// strings the cache holds already, which makes nothing and so cannot fail;
// the rows it leaves are filled once they have stopped.
class TextColumns : public batch::RowSink {
 public:
  TextColumns(SEXP frame, const batch::BatchColumns& columns, std::size_t rows)
      : description_(VECTOR_ELT(frame, 1)),
        cmg_(VECTOR_ELT(frame, 2)),
        tableVersion_(VECTOR_ELT(frame, 6)),
        grouperVersion_(VECTOR_ELT(frame, 7)),
        edits_(columns.edits != nullptr ? VECTOR_ELT(frame, kEditsColumn) : nullptr),
        c_(columns),
        left_(rows, 0) {}

  void rows(std::size_t begin, std::size_t end) noexcept override {
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

  // The rows left, once the grouping threads have stopped: records to
  // convert first are settled (which may refuse them), texts not made yet
  // are made. The records are R's `views`, or else those of `source`.
  void finish(RecordViews* views, const batch::RecordSource& source,
              const batch::BatchSettings& settings) {
    for (std::size_t i = 0; i < left_.size(); ++i) {
      if (left_[i] == 0) continue;
      if (c_.cmg[i] == batch::kUnsettled) batch::group_row(views->settle(i), settings, c_, i);
      if (batch::row_needs_caller(c_, i)) {
        // A text no table gives today, or more edits than a key holds:
        // grouped again for the texts.
        char room[cmg290::kRecordLength];
        std::string_view record;
        if (views != nullptr) {
          record = views->data()[i];
        } else {
          source.get(i, room, record);
        }
        const cmg290::Result r = batch::group_one(record, settings.tierSet);
        const R_xlen_t row = static_cast<R_xlen_t>(i);
        if (c_.cmg[i] == batch::kOddText) SET_STRING_ELT(cmg_, row, Rf_mkChar(r.cmg));
        if (c_.tableVersion[i] == batch::kOddText) {
          SET_STRING_ELT(tableVersion_, row, Rf_mkCharCE(r.tableVersion, CE_LATIN1));
        }
        if (c_.grouperVersion[i] == batch::kOddText) {
          SET_STRING_ELT(grouperVersion_, row, Rf_mkCharCE(r.grouperVersion, CE_LATIN1));
        }
        if (c_.edits != nullptr && c_.edits[i] == batch::kManyEdits) {
          cmg290::Edits edits;
          batch::find_record_edits(record, r, settings.tierSet, edits);
          SET_STRING_ELT(edits_, row, Rf_mkChar(batch::edit_codes_text(edits).c_str()));
        }
      }
      put_made(i);
    }
  }

 private:
  struct Made {
    TextColumns* columns;
    std::size_t row;
  };
  static void make(void* data) {
    const Made* made = static_cast<const Made*>(data);
    made->columns->put_made(made->row);
  }

  // Row i from texts made already; false, with nothing put in, when one is
  // not.
  bool put_known(std::size_t i) noexcept {
    SEXP description = cache_.known(c_.description[i]);
    SEXP cmg = cache_.known(c_.cmg[i]);
    SEXP tableVersion = cache_.known(c_.tableVersion[i]);
    SEXP grouperVersion = cache_.known(c_.grouperVersion[i]);
    SEXP edits = c_.edits != nullptr ? cache_.known_edits(c_.edits[i]) : R_NilValue;
    if (description == nullptr || cmg == nullptr || tableVersion == nullptr ||
        grouperVersion == nullptr || edits == nullptr) {
      return false;
    }
    const R_xlen_t row = static_cast<R_xlen_t>(i);
    SET_STRING_ELT(description_, row, description);
    SET_STRING_ELT(cmg_, row, cmg);
    SET_STRING_ELT(tableVersion_, row, tableVersion);
    SET_STRING_ELT(grouperVersion_, row, grouperVersion);
    if (c_.edits != nullptr) SET_STRING_ELT(edits_, row, edits);
    return true;
  }

  // Row i, making its texts where needed: each is put into its column as
  // soon as it is made, which keeps it from R's garbage collector. The
  // texts of an odd row, and the edits of a row of more than a key holds,
  // are put in by finish().
  void put_made(std::size_t i) {
    const R_xlen_t row = static_cast<R_xlen_t>(i);
    auto put = [&](SEXP column, TextKey key) {
      if (key != batch::kOddText) SET_STRING_ELT(column, row, cache_.text(key));
    };
    put(description_, c_.description[i]);
    put(cmg_, c_.cmg[i]);
    put(tableVersion_, c_.tableVersion[i]);
    put(grouperVersion_, c_.grouperVersion[i]);
    if (c_.edits != nullptr && c_.edits[i] != batch::kManyEdits) {
      SET_STRING_ELT(edits_, row, cache_.edits(c_.edits[i]));
    }
  }

  SEXP description_, cmg_, tableVersion_, grouperVersion_, edits_;
  const batch::BatchColumns& c_;
  std::vector<unsigned char> left_;
  TextCache cache_;
};

// A result frame of n rows: its columns made, the engine's arrays pointing
// into them; protected until done() gives it its names and class.
class Frame {
 public:
  Frame(std::size_t n, bool edits) : n_(n), columnCount_(edits ? kColumns : kColumns - 1) {
    // A data frame's compact row names count its rows in an int.
    if (n > static_cast<std::size_t>(INT_MAX)) {
      throw std::invalid_argument("records: more than " + std::to_string(INT_MAX) +
                                  " records do not fit one data frame; group them in parts");
    }
    const R_xlen_t rows = static_cast<R_xlen_t>(n);
    frame_ = PROTECT(Rf_allocVector(VECSXP, columnCount_));
    SEXP status = Rf_allocVector(INTSXP, rows);
    SET_VECTOR_ELT(frame_, 0, status);
    SEXP motor = Rf_allocVector(REALSXP, rows);
    SET_VECTOR_ELT(frame_, 3, motor);
    SEXP cognitive = Rf_allocVector(INTSXP, rows);
    SET_VECTOR_ELT(frame_, 4, cognitive);
    SEXP age = Rf_allocVector(INTSXP, rows);
    SET_VECTOR_ELT(frame_, 5, age);
    const int textColumns[] = {1, 2, 6, 7};
    for (int c : textColumns) SET_VECTOR_ELT(frame_, c, Rf_allocVector(STRSXP, rows));
    if (edits) SET_VECTOR_ELT(frame_, kEditsColumn, Rf_allocVector(STRSXP, rows));

    description_.resize(n);
    cmg_.resize(n);
    tableVersion_.resize(n);
    grouperVersion_.resize(n);
    editKeys_.resize(edits ? n : 0);
    columns.status = {INTEGER(status), false};
    columns.cognitiveScore = {INTEGER(cognitive), false};
    columns.age = {INTEGER(age), false};
    columns.motorScore = REAL(motor);
    columns.description = description_.data();
    columns.cmg = cmg_.data();
    columns.tableVersion = tableVersion_.data();
    columns.grouperVersion = grouperVersion_.data();
    columns.edits = edits ? editKeys_.data() : nullptr;
    columns.missingInt = NA_INTEGER;
    columns.missingReal = NA_REAL;
  }
  Frame(const Frame&) = delete;
  Frame& operator=(const Frame&) = delete;

  SEXP frame() const { return frame_; }

  // The frame, named and classed, no longer protected.
  SEXP done() {
    SEXP names = PROTECT(Rf_allocVector(STRSXP, columnCount_));
    for (int c = 0; c < columnCount_; ++c) SET_STRING_ELT(names, c, Rf_mkChar(kColumnNames[c]));
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

 private:
  std::size_t n_;
  int columnCount_;
  SEXP frame_;
  std::vector<TextKey> description_, cmg_, tableVersion_, grouperVersion_;
  std::vector<EditKey> editKeys_;
};

[[noreturn]] void file_error(const std::string& path, const batch::PathBatch& file, int error) {
  throw std::runtime_error("cannot read " + path + ": " + file.error_text(error));
}

}  // namespace

}  // namespace cmg290::r

extern "C" SEXP cmg290_group(SEXP records, SEXP workers, SEXP tierSet, SEXP withEdits) {
  using namespace cmg290::r;
  namespace batch = cmg290::batch;
  namespace cli = cmg290::cli;
  BEGIN_RCPP
  batch::BatchSettings settings;
  settings.tierSet = tier_set_of(tierSet);
  settings.edits = Rf_asLogical(withEdits) == TRUE;
  RecordViews views(records, "records");
  const std::size_t n = views.size();
  Frame frame(n, settings.edits);
  settings.threads = cli::useful_threads(Rf_asInteger(workers), n);
  batch::RecordSource source;
  source.count = n;
  source.views = views.data();
  source.asciiOnly = views.unchecked();
  TextColumns texts(frame.frame(), frame.columns, n);
  batch::group_batch(source, settings, frame.columns, &texts);
  texts.finish(&views, source, settings);
  return frame.done();
  END_RCPP
}

// group(file = path): the records of a file, one per line, read and grouped
// on the threads where the file lies, with the line rules of `cmg290
// group`; no R string is made for a record.
extern "C" SEXP cmg290_group_file(SEXP path, SEXP workers, SEXP tierSet, SEXP withEdits) {
  using namespace cmg290::r;
  namespace batch = cmg290::batch;
  namespace cli = cmg290::cli;
  BEGIN_RCPP
  batch::BatchSettings settings;
  settings.tierSet = tier_set_of(tierSet);
  settings.edits = Rf_asLogical(withEdits) == TRUE;
  const std::string name = Rcpp::as<std::string>(path);
  batch::PathBatch file;
  if (const int error = file.open(name.c_str()); error != 0) file_error(name, file, error);
  const int asked = Rf_asInteger(workers);
  // As many threads as the most records the file could hold could use: the
  // grouping has no more than the counting. The lines are grouped as they
  // are counted: the file is read once.
  if (const int error = file.count(cli::useful_threads(asked, file.size() / 2), &settings);
      error != 0) {
    file_error(name, file, error);
  }
  const std::size_t n = file.records();
  // Each record's line in the file, from 1, for group() to put first in the
  // frame; protected below the frame, which done() unprotects.
  SEXP line = PROTECT(Rf_allocVector(INTSXP, static_cast<R_xlen_t>(n)));
  Frame frame(n, settings.edits);
  frame.columns.line = {INTEGER(line), false};
  settings.threads = cli::useful_threads(asked, n);
  TextColumns texts(frame.frame(), frame.columns, n);
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
