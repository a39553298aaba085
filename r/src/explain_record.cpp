// explain(record, tier_set), build_record(...), the record layout and the
// status descriptions: looking at one record field by field, and making
// records from named field values.
#include <Rcpp.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cmg290/explain.h"
#include "cmg290/record_builder.h"
#include "cmg290/record_layout.h"
#include "cmg290/tier_set.h"
#include "record_text.h"
#include "tier_set_handle.h"

namespace cmg290::r {

namespace {

bool all_of_kind(const nlohmann::ordered_json& array, nlohmann::ordered_json::value_t kind) {
  for (const auto& e : array) {
    const auto t = e.type() == nlohmann::ordered_json::value_t::number_unsigned
                       ? nlohmann::ordered_json::value_t::number_integer
                       : e.type();
    if (t != kind) return false;
  }
  return true;
}

// JSON as R values: an object is a named list, an array of strings,
// integers, numbers or booleans alike is a vector, any other array a list;
// null is NULL. The explanation's texts are Latin-1 characters, one per
// byte of the record, read here as UTF-8.
SEXP to_r(const nlohmann::ordered_json& j) {
  using Kind = nlohmann::ordered_json::value_t;
  switch (j.type()) {
    case Kind::null:
      return R_NilValue;
    case Kind::boolean:
      return Rf_ScalarLogical(j.get<bool>());
    case Kind::number_integer:
    case Kind::number_unsigned:
      return Rf_ScalarInteger(j.get<int>());
    case Kind::number_float:
      return Rf_ScalarReal(j.get<double>());
    case Kind::string:
      return Rf_ScalarString(Rf_mkCharCE(j.get_ref<const std::string&>().c_str(), CE_UTF8));
    case Kind::object: {
      Rcpp::List list(j.size());
      Rcpp::CharacterVector names(j.size());
      R_xlen_t i = 0;
      for (auto it = j.begin(); it != j.end(); ++it, ++i) {
        list[i] = to_r(it.value());
        names[i] = it.key();
      }
      list.attr("names") = names;
      return list;
    }
    case Kind::array: {
      if (!j.empty() && all_of_kind(j, Kind::string)) {
        Rcpp::CharacterVector v(j.size());
        for (std::size_t i = 0; i < j.size(); ++i) {
          v[static_cast<R_xlen_t>(i)] =
              Rf_mkCharCE(j[i].get_ref<const std::string&>().c_str(), CE_UTF8);
        }
        return v;
      }
      if (!j.empty() && all_of_kind(j, Kind::number_integer)) {
        Rcpp::IntegerVector v(j.size());
        for (std::size_t i = 0; i < j.size(); ++i) v[static_cast<R_xlen_t>(i)] = j[i].get<int>();
        return v;
      }
      if (!j.empty() && all_of_kind(j, Kind::boolean)) {
        Rcpp::LogicalVector v(j.size());
        for (std::size_t i = 0; i < j.size(); ++i) v[static_cast<R_xlen_t>(i)] = j[i].get<bool>();
        return v;
      }
      Rcpp::List list(j.size());
      for (std::size_t i = 0; i < j.size(); ++i) list[static_cast<R_xlen_t>(i)] = to_r(j[i]);
      return list;
    }
    default:
      return R_NilValue;
  }
}

}  // namespace

}  // namespace cmg290::r

extern "C" SEXP cmg290_explain(SEXP record, SEXP tierSet) {
  using namespace cmg290::r;
  BEGIN_RCPP
  const cmg290::TierSet* set = tier_set_of(tierSet);
  std::string scratch;
  const std::string_view bytes = one_record(record, "record", scratch);
  const cmg290::Explanation e =
      set != nullptr ? cmg290::explain(bytes, *set) : cmg290::explain(bytes);
  return to_r(nlohmann::ordered_json::parse(cmg290::explain_json(e)));
  END_RCPP
}

extern "C" SEXP cmg290_build_record(SEXP fields) {
  using namespace cmg290::r;
  BEGIN_RCPP
  Rcpp::List list(fields);
  SEXP names = Rf_getAttrib(fields, R_NamesSymbol);
  const R_xlen_t n = list.size();
  // The names and texts stay alive in `keep` while the builder reads them.
  std::vector<std::string> keep;
  keep.reserve(2 * static_cast<std::size_t>(n));
  for (R_xlen_t i = 0; i < n; ++i) {
    const char* name = names == R_NilValue ? "" : CHAR(STRING_ELT(names, i));
    if (*name == '\0') throw std::invalid_argument("every field must be named");
    keep.emplace_back(name);
    std::string scratch;
    keep.emplace_back(one_record(list[i], keep.back(), scratch));
  }
  std::vector<cmg290::FieldValue> values;
  for (std::size_t i = 0; i < keep.size(); i += 2) values.push_back({keep[i], keep[i + 1]});
  const cmg290::BuiltRecord built = cmg290::build_record(values.data(), values.size());
  if (!built.ok()) throw std::invalid_argument(built.error);
  const bool ascii = std::none_of(built.record.begin(), built.record.end(),
                                  [](char c) { return static_cast<unsigned char>(c) > 0x7F; });
  return Rf_ScalarString(Rf_mkCharLenCE(built.record.data(), static_cast<int>(built.record.size()),
                                        ascii ? CE_NATIVE : CE_LATIN1));
  END_RCPP
}

extern "C" SEXP cmg290_record_layout() {
  BEGIN_RCPP
  const std::size_t n = cmg290::kRecordFieldCount;
  Rcpp::CharacterVector name(n), meaning(n);
  Rcpp::IntegerVector start(n), length(n), end(n);
  for (std::size_t i = 0; i < n; ++i) {
    const cmg290::FieldLayout& f = cmg290::kRecordLayout[i];
    const R_xlen_t k = static_cast<R_xlen_t>(i);
    name[k] = std::string(f.name);
    start[k] = f.start;
    length[k] = f.length;
    end[k] = f.end();
    meaning[k] = std::string(f.meaning);
  }
  return Rcpp::DataFrame::create(Rcpp::Named("name") = name, Rcpp::Named("start") = start,
                                 Rcpp::Named("length") = length, Rcpp::Named("end") = end,
                                 Rcpp::Named("meaning") = meaning,
                                 Rcpp::Named("stringsAsFactors") = false);
  END_RCPP
}

extern "C" SEXP cmg290_status_text(SEXP status) {
  BEGIN_RCPP
  Rcpp::IntegerVector codes(status);
  Rcpp::CharacterVector out(codes.size());
  for (R_xlen_t i = 0; i < codes.size(); ++i) {
    out[i] = codes[i] == NA_INTEGER ? NA_STRING : Rf_mkChar(cmg290::status_text(codes[i]));
  }
  return out;
  END_RCPP
}
