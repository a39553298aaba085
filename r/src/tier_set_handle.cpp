#include "tier_set_handle.h"

#include <Rcpp.h>

#include <iterator>
#include <memory>
#include <stdexcept>
#include <vector>

#include "cmg290/tier_set.h"

namespace cmg290::r {

namespace {

using SetPointer = std::shared_ptr<const cmg290::TierSet>;

// Tells the set's pointers from other external pointers.
SEXP tag() {
  static SEXP symbol = Rf_install("cmg290_tier_set");
  return symbol;
}

void release(SEXP pointer) {
  delete static_cast<SetPointer*>(R_ExternalPtrAddr(pointer));
  R_ClearExternalPtr(pointer);
}

// Problems past this many are counted, not listed, in the error.
constexpr std::size_t kProblemsShown = 20;

SEXP set_object(SetPointer set) {
  SEXP pointer = PROTECT(R_MakeExternalPtr(new SetPointer(std::move(set)), tag(), R_NilValue));
  R_RegisterCFinalizerEx(pointer, release, TRUE);
  const cmg290::TierSet& s = **static_cast<SetPointer*>(R_ExternalPtrAddr(pointer));
  Rcpp::CharacterVector deviations(s.deviations().begin(), s.deviations().end());
  Rcpp::IntegerVector entries(std::size(cmg290::kTierSetLists));
  Rcpp::CharacterVector files(std::size(cmg290::kTierSetLists));
  for (std::size_t i = 0; i < std::size(cmg290::kTierSetLists); ++i) {
    entries[static_cast<R_xlen_t>(i)] = s.entries(cmg290::kTierSetLists[i]);
    files[static_cast<R_xlen_t>(i)] = cmg290::tier_set_file(cmg290::kTierSetLists[i]);
  }
  entries.attr("names") = files;
  // The names of the Python module's set; the path is set by
  // load_tier_set() for a set from a directory.
  Rcpp::List object = Rcpp::List::create(
      Rcpp::Named("name") = s.name(), Rcpp::Named("digest") = s.digest(),
      Rcpp::Named("identity") = s.identity(), Rcpp::Named("compiled_in") = s.is_compiled(),
      Rcpp::Named("holds_placeholders") = s.holds_placeholders(),
      Rcpp::Named("deviations") = deviations, Rcpp::Named("path") = R_NilValue,
      Rcpp::Named("entries") = entries, Rcpp::Named("pointer") = pointer);
  object.attr("class") = "cmg290_tier_set";
  UNPROTECT(1);
  return object;
}

}  // namespace

const cmg290::TierSet* tier_set_of(SEXP pointer) {
  if (pointer == R_NilValue) return nullptr;
  if (TYPEOF(pointer) != EXTPTRSXP || R_ExternalPtrTag(pointer) != tag()) {
    throw std::invalid_argument("tier_set must be NULL or a set from load_tier_set()");
  }
  auto* set = static_cast<SetPointer*>(R_ExternalPtrAddr(pointer));
  if (set == nullptr || !*set) {
    throw std::invalid_argument(
        "tier_set no longer holds its set (a set does not survive saving and loading); load it "
        "again with load_tier_set()");
  }
  return set->get();
}

}  // namespace cmg290::r

extern "C" SEXP cmg290_load_tier_set(SEXP path, SEXP allowDeviations, SEXP sha256) {
  BEGIN_RCPP
  const std::string directory = Rcpp::as<std::string>(path);
  cmg290::TierSetOptions options;
  options.allowDeviations = Rcpp::as<bool>(allowDeviations);
  const std::string pin = Rcpp::as<std::string>(sha256);
  std::string error;
  if (!pin.empty() && !cmg290::parse_sha256(pin, options.expectedSha256, error)) {
    throw std::invalid_argument("sha256: " + error);
  }
  std::vector<cmg290::TierSetProblem> problems;
  auto set = cmg290::TierSet::load(directory, problems, options);
  if (!set) {
    std::string message = "tier-table set " + directory + " not loaded:";
    for (std::size_t i = 0; i < problems.size() && i < cmg290::r::kProblemsShown; ++i) {
      message += "\n  " + cmg290::problem_text(problems[i]);
    }
    if (problems.size() > cmg290::r::kProblemsShown) {
      message +=
          "\n  ... and " + std::to_string(problems.size() - cmg290::r::kProblemsShown) + " more";
    }
    throw std::invalid_argument(message);
  }
  return cmg290::r::set_object(std::move(set));
  END_RCPP
}

extern "C" SEXP cmg290_compiled_tier_set() {
  BEGIN_RCPP
  return cmg290::r::set_object(cmg290::TierSet::compiled());
  END_RCPP
}

extern "C" SEXP cmg290_write_tier_set(SEXP pointer, SEXP path) {
  BEGIN_RCPP
  const cmg290::TierSet* set = cmg290::r::tier_set_of(pointer);
  if (set == nullptr) throw std::invalid_argument("tier_set must be a set");
  const std::string directory = Rcpp::as<std::string>(path);
  std::string error;
  if (!set->write(directory, error)) {
    throw std::runtime_error("cannot write the set into " + directory + ": " + error);
  }
  return R_NilValue;
  END_RCPP
}
