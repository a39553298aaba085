// group(records, workers, tier_set, edits): the result data frame of many
// records.
//
// R's thread reads the records into views, the grouping threads fill plain
// arrays, and R's thread then makes the text columns from a few cached
// strings: one per description, CMG, table version, grouper version and
// distinct list of edits.
#include <Rcpp.h>

#include <climits>
#include <cstring>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "cmg290/status.h"
#include "edit_keys.h"
#include "group_rows.h"
#include "record_text.h"
#include "tier_set_handle.h"

namespace cmg290::r {

namespace {

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
  TextCache() : cmgs_(kCmgKeys, nullptr) {}

  // The same texts when made already, else nullptr; these make nothing.
  SEXP known_description(int status) const noexcept {
    for (const auto& [code, text] : descriptions_) {
      if (code == status) return text;
    }
    return nullptr;
  }
  SEXP known_cmg(int key) const noexcept {
    if (key == kNoCmg) return NA_STRING;
    return key >= 0 ? cmgs_[static_cast<std::size_t>(key)] : nullptr;
  }
  SEXP known_version(std::uint32_t key) const noexcept {
    for (const auto& [k, text] : versions_) {
      if (k == key) return text;
    }
    return nullptr;
  }
  SEXP known_edits(std::uint64_t key) const noexcept {
    if (key == kNoEdits) return R_BlankString;
    const auto it = edits_.find(key);
    return it == edits_.end() ? nullptr : it->second;
  }

  SEXP description(int status) {
    for (const auto& [code, text] : descriptions_) {
      if (code == status) return text;
    }
    SEXP text = Rf_mkChar(cmg290::status_text(status));
    descriptions_.emplace_back(status, text);
    return text;
  }

  SEXP cmg(int key) {
    if (key == kNoCmg) return NA_STRING;
    SEXP& text = cmgs_[static_cast<std::size_t>(key)];
    if (text == nullptr) {
      char s[6] = {static_cast<char>('A' + key / 10001), 0, 0, 0, 0, 0};
      const int code = key % 10001;
      if (code < 10000) {
        for (int k = 4, c = code; k >= 1; --k, c /= 10) s[k] = static_cast<char>('0' + c % 10);
      }
      text = Rf_mkChar(s);
    }
    return text;
  }

  // A table or grouper version; four blanks are NA.
  SEXP version(std::uint32_t key) {
    for (const auto& [k, text] : versions_) {
      if (k == key) return text;
    }
    char s[5] = {};
    std::memcpy(s, &key, 4);
    SEXP text = std::strcmp(s, "    ") == 0 ? NA_STRING : Rf_mkCharCE(s, CE_LATIN1);
    versions_.emplace_back(key, text);
    return text;
  }

  // The codes of a key other than kManyEdits joined with ";".
  SEXP edits(std::uint64_t key) {
    if (key == kNoEdits) return R_BlankString;
    SEXP& text = edits_[key];
    if (text == nullptr) text = Rf_mkChar(edit_key_text(key).c_str());
    return text;
  }

 private:
  std::vector<std::pair<int, SEXP>> descriptions_;
  std::vector<SEXP> cmgs_;
  std::vector<std::pair<std::uint32_t, SEXP>> versions_;
  std::unordered_map<std::uint64_t, SEXP> edits_;
};

// Fills the text columns. While the grouping threads run it only puts in
// strings the cache holds already, which makes nothing and so cannot fail;
// the rows it leaves are filled once they have stopped.
class TextColumns : public RowSink {
 public:
  // `editKeys` and the frame's edits column only when edits are asked for.
  TextColumns(SEXP frame, const int* status, const int* cmgKeys, const std::uint32_t* tableVersions,
              const std::uint32_t* grouperVersions, const std::uint64_t* editKeys, std::size_t rows)
      : description_(VECTOR_ELT(frame, 1)),
        cmg_(VECTOR_ELT(frame, 2)),
        tableVersion_(VECTOR_ELT(frame, 6)),
        grouperVersion_(VECTOR_ELT(frame, 7)),
        edits_(editKeys != nullptr ? VECTOR_ELT(frame, kEditsColumn) : nullptr),
        status_(status),
        cmgKeys_(cmgKeys),
        tableVersions_(tableVersions),
        grouperVersions_(grouperVersions),
        editKeys_(editKeys),
        left_(rows, 0) {}

  void rows(std::size_t begin, std::size_t end) noexcept override {
    for (std::size_t i = begin; i < end; ++i) {
      if (cmgKeys_[i] == kUnsettled || cmgKeys_[i] == kOddCmg ||
          (editKeys_ != nullptr && editKeys_[i] == kManyEdits)) {
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
  // are made.
  void finish(RecordViews& views, const GroupSettings& settings, const RowColumns& columns) {
    for (std::size_t i = 0; i < left_.size(); ++i) {
      if (left_[i] == 0) continue;
      if (cmgKeys_[i] == kUnsettled) group_row(views.settle(i), settings, columns, i);
      const bool manyEdits = editKeys_ != nullptr && editKeys_[i] == kManyEdits;
      if (cmgKeys_[i] == kOddCmg || manyEdits) {
        // A CMG text no table gives today, or more edits than a key holds:
        // grouped again for the texts.
        const std::string_view record = views.data()[i];
        const cmg290::Result r = group_one(record, settings);
        const R_xlen_t row = static_cast<R_xlen_t>(i);
        if (cmgKeys_[i] == kOddCmg) SET_STRING_ELT(cmg_, row, Rf_mkChar(r.cmg));
        if (manyEdits) {
          cmg290::Edits edits;
          find_record_edits(record, r, settings.tierSet, edits);
          SET_STRING_ELT(edits_, row, Rf_mkChar(edit_codes_text(edits).c_str()));
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
    SEXP description = cache_.known_description(status_[i]);
    SEXP cmg = cache_.known_cmg(cmgKeys_[i]);
    SEXP tableVersion = cache_.known_version(tableVersions_[i]);
    SEXP grouperVersion = cache_.known_version(grouperVersions_[i]);
    SEXP edits = editKeys_ != nullptr ? cache_.known_edits(editKeys_[i]) : R_NilValue;
    if (description == nullptr || cmg == nullptr || tableVersion == nullptr ||
        grouperVersion == nullptr || edits == nullptr) {
      return false;
    }
    const R_xlen_t row = static_cast<R_xlen_t>(i);
    SET_STRING_ELT(description_, row, description);
    SET_STRING_ELT(cmg_, row, cmg);
    SET_STRING_ELT(tableVersion_, row, tableVersion);
    SET_STRING_ELT(grouperVersion_, row, grouperVersion);
    if (editKeys_ != nullptr) SET_STRING_ELT(edits_, row, edits);
    return true;
  }

  // Row i, making its texts where needed: each is put into its column as
  // soon as it is made, which keeps it from R's garbage collector. The CMG
  // of an odd row, and the edits of a row of more than a key holds, are put
  // in by finish().
  void put_made(std::size_t i) {
    const R_xlen_t row = static_cast<R_xlen_t>(i);
    SET_STRING_ELT(description_, row, cache_.description(status_[i]));
    if (cmgKeys_[i] != kOddCmg) SET_STRING_ELT(cmg_, row, cache_.cmg(cmgKeys_[i]));
    SET_STRING_ELT(tableVersion_, row, cache_.version(tableVersions_[i]));
    SET_STRING_ELT(grouperVersion_, row, cache_.version(grouperVersions_[i]));
    if (editKeys_ != nullptr && editKeys_[i] != kManyEdits) {
      SET_STRING_ELT(edits_, row, cache_.edits(editKeys_[i]));
    }
  }

  SEXP description_, cmg_, tableVersion_, grouperVersion_, edits_;
  const int* status_;
  const int* cmgKeys_;
  const std::uint32_t* tableVersions_;
  const std::uint32_t* grouperVersions_;
  const std::uint64_t* editKeys_;
  std::vector<unsigned char> left_;
  TextCache cache_;
};

}  // namespace

}  // namespace cmg290::r

extern "C" SEXP cmg290_group(SEXP records, SEXP workers, SEXP tierSet, SEXP withEdits) {
  using namespace cmg290::r;
  BEGIN_RCPP
  const bool edits = Rf_asLogical(withEdits) == TRUE;
  GroupSettings settings;
  settings.tierSet = tier_set_of(tierSet);
  RecordViews views(records, "records");
  const std::size_t n = views.size();
  const R_xlen_t rows = static_cast<R_xlen_t>(n);
  // A data frame's compact row names count its rows in an int.
  if (n > static_cast<std::size_t>(INT_MAX)) {
    throw std::invalid_argument("records: more than " + std::to_string(INT_MAX) +
                                " records do not fit one data frame; group them in parts");
  }

  const int columnCount = edits ? kColumns : kColumns - 1;
  SEXP frame = PROTECT(Rf_allocVector(VECSXP, columnCount));
  SEXP status = Rf_allocVector(INTSXP, rows);
  SET_VECTOR_ELT(frame, 0, status);
  SEXP motor = Rf_allocVector(REALSXP, rows);
  SET_VECTOR_ELT(frame, 3, motor);
  SEXP cognitive = Rf_allocVector(INTSXP, rows);
  SET_VECTOR_ELT(frame, 4, cognitive);
  SEXP age = Rf_allocVector(INTSXP, rows);
  SET_VECTOR_ELT(frame, 5, age);
  const int textColumns[] = {1, 2, 6, 7};
  for (int c : textColumns) SET_VECTOR_ELT(frame, c, Rf_allocVector(STRSXP, rows));
  if (edits) SET_VECTOR_ELT(frame, kEditsColumn, Rf_allocVector(STRSXP, rows));

  std::vector<int> cmgKeys(n);
  std::vector<std::uint32_t> tableVersions(n), grouperVersions(n);
  std::vector<std::uint64_t> editKeys(edits ? n : 0);
  std::uint64_t* const keys = edits ? editKeys.data() : nullptr;
  const RowColumns columns{INTEGER(status),
                           REAL(motor),
                           INTEGER(cognitive),
                           INTEGER(age),
                           cmgKeys.data(),
                           tableVersions.data(),
                           grouperVersions.data(),
                           keys,
                           NA_INTEGER,
                           NA_REAL};
  TextColumns texts(frame, INTEGER(status), cmgKeys.data(), tableVersions.data(),
                    grouperVersions.data(), keys, n);
  group_rows(views.data(), views.unchecked(), n, settings, columns,
             thread_count(Rf_asInteger(workers), n), texts);
  texts.finish(views, settings, columns);

  SEXP names = PROTECT(Rf_allocVector(STRSXP, columnCount));
  for (int c = 0; c < columnCount; ++c) SET_STRING_ELT(names, c, Rf_mkChar(kColumnNames[c]));
  Rf_setAttrib(frame, R_NamesSymbol, names);
  SEXP rowNames = PROTECT(Rf_allocVector(INTSXP, 2));
  INTEGER(rowNames)[0] = NA_INTEGER;
  INTEGER(rowNames)[1] = -static_cast<int>(rows);
  Rf_setAttrib(frame, R_RowNamesSymbol, rowNames);
  Rf_setAttrib(frame, R_ClassSymbol, Rf_mkString("data.frame"));
  UNPROTECT(3);
  return frame;
  END_RCPP
}
