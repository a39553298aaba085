// edits(record, tier_set) and the edit catalogue: the edits of one record,
// and every edit there is, as data frames.
#include <Rcpp.h>

#include <string>
#include <string_view>

#include "batch/batch_rows.h"
#include "cmg290/edits.h"
#include "cmg290/tier_set.h"
#include "record_text.h"
#include "tier_set_handle.h"

namespace cmg290::r {

namespace {

SEXP code_text(std::string_view code) {
  return Rf_mkCharLen(code.data(), static_cast<int>(code.size()));
}

}  // namespace

}  // namespace cmg290::r

extern "C" SEXP cmg290_edits(SEXP record, SEXP tierSet) {
  using namespace cmg290::r;
  BEGIN_RCPP
  const cmg290::TierSet* set = tier_set_of(tierSet);
  std::string scratch;
  const std::string_view bytes = one_record(record, "record", scratch);
  cmg290::Edits edits;
  cmg290::batch::find_record_edits(bytes, cmg290::batch::group_one(bytes, set), set, edits);
  const R_xlen_t n = edits.count;
  Rcpp::CharacterVector code(n), severity(n), field(n), value(n), message(n);
  char text[cmg290::kEditMessageMax];
  for (R_xlen_t i = 0; i < n; ++i) {
    const cmg290::Edit& e = edits.items[i];
    code[i] = code_text(e.code());
    severity[i] = code_text(cmg290::severity_text(e.severity()));
    field[i] = e.field < 0 ? NA_STRING : code_text(e.field_name());
    value[i] = byte_text(e.value_text());
    message[i] = byte_text(std::string_view(text, cmg290::write_edit_message(e, text)));
  }
  return Rcpp::DataFrame::create(Rcpp::Named("code") = code, Rcpp::Named("severity") = severity,
                                 Rcpp::Named("field") = field, Rcpp::Named("value") = value,
                                 Rcpp::Named("message") = message,
                                 Rcpp::Named("stringsAsFactors") = false);
  END_RCPP
}

extern "C" SEXP cmg290_edit_catalogue() {
  using namespace cmg290::r;
  BEGIN_RCPP
  const R_xlen_t n = static_cast<R_xlen_t>(cmg290::kEditCount);
  Rcpp::CharacterVector code(n), severity(n), meaning(n);
  for (R_xlen_t i = 0; i < n; ++i) {
    const cmg290::EditInfo& e = cmg290::kEditCatalogue[i];
    code[i] = code_text(e.code);
    severity[i] = code_text(cmg290::severity_text(e.severity));
    meaning[i] = code_text(e.meaning);
  }
  return Rcpp::DataFrame::create(Rcpp::Named("code") = code, Rcpp::Named("severity") = severity,
                                 Rcpp::Named("meaning") = meaning,
                                 Rcpp::Named("stringsAsFactors") = false);
  END_RCPP
}
