// Tier-table sets held by R: an external pointer to the library's shared
// set, released when R collects it.
#pragma once

// Rcpp, included after this in places, wants R's API without its short names.
#ifndef R_NO_REMAP
#define R_NO_REMAP
#endif
#include <Rinternals.h>

#include <string>

namespace cmg290 {
class TierSet;
}

namespace cmg290::r {

// The set an R tier-set object points at; null for R's NULL (the
// compiled-in lists). Throws std::invalid_argument for anything else, and
// for a pointer that no longer holds a set (one saved and restored).
const cmg290::TierSet* tier_set_of(SEXP pointer);

}  // namespace cmg290::r

extern "C" {
// load_tier_set(path, allow_deviations, sha256): a list of the set's name, digest,
// identity, compiled_in, holds_placeholders, deviations, path (NULL here),
// entries (per list file) and its pointer.
// `sha256` is "" for no pin, else the digest the set must have.
SEXP cmg290_load_tier_set(SEXP path, SEXP allowDeviations, SEXP sha256);
// The lists compiled into the grouper, as a set in the same form.
SEXP cmg290_compiled_tier_set();
// Writes a set into a directory in the form load_tier_set reads.
SEXP cmg290_write_tier_set(SEXP pointer, SEXP path);
}
