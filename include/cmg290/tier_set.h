// Comorbidity tier-table sets: the tier lists of every table version as
// data, loaded at run time from a directory, beside the lists compiled into
// the library (TierSet::compiled()).
//
// A set on disk is a directory holding exactly these files:
//
//   single-2.40.csv  single-2.50.csv  single-2.60.csv (also serves 2.70)
//   single-2.82.csv  single-2.90.csv  pair.csv  secondary.csv
//   manifest.txt     (optional)
//
// Each list is CSV with the header "code,tier,excluded_rics" (pair.csv:
// "code_1,code_2,tier,excluded_rics"; the single-code lists may add a
// fourth column, "placeholder", see below), one entry per line, in the order of
// the list: B entries, then C, then D, each group in ascending byte order of
// the code (pair.csv keeps its own order within a group: its last matching
// row counts). Codes may be written with or without their dot and "^"
// filler ("J3801", "J38.01", "J38.01^^"), excluded RICs as "01, 02" or
// "1;2". The pair and secondary lists serve 2.82 and 2.90.
//
// manifest.txt holds "key = value" lines ("#" starts a comment line):
//   name = official 2025      the set's name (else the directory's name)
// ("placeholders = marked" or "none" is still read, and changes nothing.)
//
// Placeholders (docs/tier-sets.md): a row of a single-code list is a
// placeholder when its code is the code of a placeholder row of the same
// compiled-in list, whatever its tier or excluded RICs. The one way to clear
// a row's disclosure is the word "official" in its placeholder column; such
// marks are part of the digest. The exporter writes "placeholder" there on
// placeholder rows, so that a spreadsheet can filter them.
//
// Files that editors leave beside the lists (".~lock.*#", "~$*", "*.bak",
// "*~", any name beginning with ".") are passed over, each with a note.
//
// A loaded set is immutable: any number of threads may group with it at
// once. Grouping with it allocates nothing and takes no lock.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cmg290/cmg290.h"
#include "cmg290/export.h"

namespace cmg290 {

namespace tiersets {
struct SetData;
}

// The lists of tier_lists.def: Single240, Single250, Single260 (2.60 and
// 2.70), Single282, Single290, Pair and Secondary (2.82 and 2.90).
enum class TierSetList {
#define CMG290_TIER_LIST(id, token, file, setFile, kind, first, last, entries, codeWidth, \
                         tierWidth, ricsWidth, codeRow0, ricsRow0)                        \
  id,
#include "cmg290/tier_lists.def"
#undef CMG290_TIER_LIST
};

// The file of a list in a set's directory: "single-2.40.csv", "pair.csv", ...
CMG290_API const char* tier_set_file(TierSetList list) noexcept;

// One fault found while loading: the file (a path under the directory, or
// the directory itself), the line (0 when it concerns the whole file) and
// what is wrong.
struct TierSetProblem {
  std::string file;
  int line = 0;
  std::string reason;
};

// "FILE:LINE: reason", or "FILE: reason" for a whole file.
CMG290_API std::string problem_text(const TierSetProblem& problem);

struct TierSetOptions {
  // Load a set that deviates from the documented contents of the lists
  // (entry counts, the rows every version holds, the differences between
  // versions, the excluded-RIC counts, the pair and secondary entries). The
  // deviations are then part of the set's identity (deviations()). A set
  // that breaks what the searches rely on is refused all the same.
  bool allowDeviations = false;

  // The SHA-256 digest (digest()) the set must have, 64 hex digits in either
  // case; empty: none. A set with this digest is taken with its deviations,
  // as if they were allowed (its contents are exactly the ones signed off);
  // a set with any other digest is refused with a problem naming both. A
  // pin that is not 64 hex digits refuses the set too (parse_sha256).
  std::string expectedSha256;
};

// Reads a SHA-256 digest as a user writes it: 64 hex digits in either case,
// nothing else. True with the digest in lower case in `digest`; false with
// what is wrong in `error`.
CMG290_API bool parse_sha256(std::string_view text, std::string& digest, std::string& error);

// One row of a list as the set holds it; codes as records hold them, " "
// for an excluded-RIC list naming no RIC; code2 is empty but in pair.csv.
struct TierSetRow {
  std::string_view code;
  std::string_view code2;
  char tier;
  std::string_view excludedRics;
};

class CMG290_API TierSet {
 public:
  // The lists compiled into the library, as a set.
  static std::shared_ptr<const TierSet> compiled();

  // Loads the set in `directory`. On any fault returns null, with every
  // fault found (each faulty row of each file) in `problems`; a set is
  // returned only when `problems` stays empty.
  static std::shared_ptr<const TierSet> load(const std::string& directory,
                                             std::vector<TierSetProblem>& problems,
                                             const TierSetOptions& options = {});

  // The set's name, from its manifest; "compiled-in" for the compiled-in set.
  const std::string& name() const noexcept;

  // SHA-256 of the set's canonical contents, 64 lower-case hex digits: equal
  // for two sets exactly when their lists hold the same entries in the same
  // order (codes as records hold them, excluded RICs by the RICs they name).
  const std::string& digest() const noexcept;

  // "NAME sha256:DIGEST", followed by ", deviating in N points" when
  // deviations were allowed and found.
  std::string identity() const;

  bool is_compiled() const noexcept;

  // Some row of some list is a placeholder, not taken from an official list
  // (the compiled-in set says so: most of its D entries are generated).
  bool holds_placeholders() const noexcept;

  // Row `row` (1 to entries(list)) of the list is a placeholder.
  bool is_placeholder(TierSetList list, int row) const noexcept;

  // Row `row` of a single-code list holds a placeholder code, marked
  // official in its file: its disclosure is cleared.
  bool disclosure_cleared(TierSetList list, int row) const noexcept;

  // The line of the list's file that holds row `row` (the header is line
  // 1); for the compiled-in set, the line of the file `tables export --all`
  // writes. 0 for a row out of range.
  int line(TierSetList list, int row) const noexcept;

  // The deviations from the documented contents that loading allowed, as
  // "FILE:LINE: reason" texts; empty for a set that fits them.
  const std::vector<std::string>& deviations() const noexcept;

  // What loading passed over or noticed without refusing the set, as
  // "FILE:LINE: text" or "FILE: text": files left by editors, rows whose
  // disclosure is cleared, manifest keys no longer honoured. Not part of
  // the identity.
  const std::vector<std::string>& notes() const noexcept;

  int entries(TierSetList list) const noexcept;
  // Row 1 to entries(list); the views live as long as the set.
  TierSetRow row(TierSetList list, int row) const;

  // Writes the set into `directory` (created if missing) in the form load
  // reads: the seven lists (the single-code ones with their placeholder
  // column) and a manifest naming the set. Existing files of those names
  // are replaced. False with the reason on a failure.
  bool write(const std::string& directory, std::string& error) const;

  const tiersets::SetData& data() const noexcept { return *data_; }

  explicit TierSet(std::unique_ptr<tiersets::SetData> data);
  ~TierSet();
  TierSet(const TierSet&) = delete;
  TierSet& operator=(const TierSet&) = delete;

 private:
  std::unique_ptr<tiersets::SetData> data_;
};

// The set as one JSON object on one line, without a line end:
//   {"name":"compiled-in","sha256":"<64 hex digits>","compiled_in":true,
//    "placeholders":true,"deviations":[]}
// "placeholders": some row is a placeholder; "deviations": the texts of
// deviations().
CMG290_API std::string tier_set_json(const TierSet& set);

// Groups one record as cmg290::group does, with the tier letter from the
// set's lists. Allocates nothing and takes no lock.
CMG290_API Result group(std::string_view record, const TierSet& set) noexcept;

// Which row of which list gave a result its tier letter.
struct TierSource {
  TierSetList list = TierSetList::Single240;
  int row = 0;               // 1 on; 0 when no row did (letter "A", or no CMG reached)
  bool placeholder = false;  // the row is a placeholder (TierSet::is_placeholder)
};

// The same, telling also which row gave the tier letter.
CMG290_API Result group(std::string_view record, const TierSet& set, TierSource& source) noexcept;

}  // namespace cmg290
