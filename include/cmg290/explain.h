// Why a record got its CMG: every decision of the grouping pass, recorded.
//
// cmg290::explain runs the pass on one record with the grouper's own stage
// functions and notes what each stage read and decided: the fields as read,
// each check in order, the table version, the dates and the age, the
// impairment row and RIC, each item's part of the scores, the CMG row and
// the comorbidity tier search; and beside them the record's edits
// (cmg290/edits.h). The tier search is made by walking the stored tier
// table rows one by one, independently of the indexed search of the
// grouping call, so the explanation's result is also a cross-check of it;
// it always equals cmg290::group's for the same record.
//
// Unlike the grouping call, explaining allocates; it is meant for looking at
// records, not for grouping files of them. It keeps no state: any number of
// threads may explain at once.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cmg290/cmg290.h"
#include "cmg290/edits.h"
#include "cmg290/export.h"
#include "cmg290/record_layout.h"

namespace cmg290 {

// One field as the grouper read it: its raw text, exactly its length
// (positions past the end of a short record read as blanks).
struct FieldReading {
  const FieldLayout* layout;
  std::string text;
};

enum class CheckOutcome { Passed, Failed, NotReached };

// One check of the pass, in the order the pass makes them; the first that
// fails ends the pass with its status.
struct CheckStep {
  int status;             // the status the check gives when it fails: 1 2 3 5 6 7 9
  std::string_view what;  // what must hold, e.g. "record kind is not 3"
  CheckOutcome outcome;
  std::string detail;  // what was looked at, e.g. "record kind \"1\""; empty when not reached
};

struct VersionStep {
  std::string text;          // the version date field
  std::int64_t value;        // its numeric value
  std::string tableVersion;  // "2.40" ... "2.90", empty when the date selects none
};

struct DatesStep {
  std::string birthDate;                     // as read
  std::optional<std::string> birthDateUsed;  // with a blank month and day defaulted,
                                             // once the checks got that far
  std::string ageDate;
  std::optional<int> age;  // once computed
};

struct ImpairmentStep {
  std::string key;  // characters 3 to 9 of the field, blanks removed
  int row;          // impairment table row 1-85, 0 when the key is not there
  std::string ric;  // "01" ... "21", empty when not found
};

struct MotorItemStep {
  std::string text;  // the two characters read
  int value;         // converted
  int counted;       // 0 counts as 1 (item 10: 2)
  int weight;        // tenths of a point
  int contribution;  // counted * weight, tenths
};

struct CognitiveItemStep {
  std::string text;
  int value;
  int counted;  // 0 counts as 1
};

struct ScoresStep {
  std::array<MotorItemStep, 12> motor;
  int motorSum;           // tenths of a point
  std::string motorText;  // "48.0"
  std::array<CognitiveItemStep, 5> cognitive;
  int cognitiveSum;
};

// The CMG table row whose bounds hold the RIC, scores and age. Motor bounds
// are in tenths; a bound the row leaves open is empty.
struct CmgRowStep {
  int row;  // 1-87
  std::string ric;
  std::string cmg;  // four digits
  int motorLow, motorHigh;
  std::optional<int> cognitiveLow, cognitiveHigh, ageLow, ageHigh;
};

enum class TierList { Single, Pair, Secondary };

struct ListSearched {
  TierList list;
  std::string_view name;  // the exported column of its codes, e.g. "CmdICD290s1"
  int rows;
};

// The row that gave the tier letter. A pair names both codes and the cells
// they were found in; the others one code and one cell. Cells are 1-25.
struct TierDecision {
  TierList list;
  int row;
  std::vector<std::string> codes;
  std::vector<int> cells;
  bool placeholder = false;  // the row is a placeholder, not from an official list
  const char* file = "";     // the list's file in a set: "single-2.90.csv", "pair.csv", ...
  int line = 0;              // the row's line in that file (TierSet::line)
};

enum class SkipReason {
  RicExcluded,  // the row's excluded RICs hold the record's RIC
  Barred,       // a secondary row barred by a present pair excluded for the RIC
};

// A row whose code the record holds, passed over.
struct SkippedRow {
  TierList list;
  int row;
  std::string code;
  int cell;
  SkipReason reason;
  const char* file = "";  // as in TierDecision
  int line = 0;
};

// A pair row whose two codes the record holds but that is excluded for the
// RIC: it gives no tier and bars its codes' secondary rows.
struct ExcludedPair {
  int row;
  std::string code1, code2;
  int cell1, cell2;
  std::vector<int> barred;       // secondary rows it bars
  int line = 0;                  // its line in pair.csv
  std::vector<int> barredLines;  // the lines of the barred rows in secondary.csv
};

struct TierStep {
  std::string tableVersion;  // empty when the version date selects none: no search
  std::vector<ListSearched> lists;
  bool fullScan;     // cells 1-25 up to a "^" (2.70 on), else cells 1-10
  int cellsScanned;  // how many cells from cell 1 were compared
  int caretCell;     // the cell whose leading "^" ended the scan, 0 when none did
  char letter;       // 'A' to 'D'
  std::optional<TierDecision> decision;  // empty for 'A'
  std::vector<SkippedRow> skipped;
  std::vector<ExcludedPair> excludedPairs;
  std::vector<int> barred;  // every secondary row barred, ascending
};

// The tier-table set whose lists the tier search used (cmg290/tier_set.h).
struct ExplainedTierSet {
  std::string name;
  std::string digest;    // SHA-256, 64 hex digits
  std::string identity;  // TierSet::identity()
  std::string json;      // tier_set_json(set): one JSON object
  bool compiledIn = false;
  bool placeholders = false;  // some row of the set is a placeholder
};

struct Explanation {
  Result result;                     // equal to cmg290::group's
  std::vector<FieldReading> fields;  // every field of kRecordLayout, in its order
  std::vector<CheckStep> checks;     // the seven checks: status 1, 2, 3, 5, 6, 7, 9
  VersionStep version;
  DatesStep dates;
  std::optional<ImpairmentStep> impairment;  // once the age check passed
  std::optional<ScoresStep> scores;          // once the RIC was found
  std::optional<CmgRowStep> cmgRow;          // empty too when no row holds the values
  std::optional<TierStep> tier;              // once the RIC was found
  ExplainedTierSet tierSet;                  // the set that grouped, also when no search was made
  Edits edits;  // the record's edits (cmg290/edits.h), found with the set that grouped
};

// Explains the grouping of one record; positions past its end read as
// blanks, as in cmg290::group. The tier search walks the compiled-in lists,
// named by their exported columns ("CmdICD290s1"); the explanation names
// the compiled-in set (TierSet::compiled()).
CMG290_API Explanation explain(std::string_view record);

class TierSet;

// The same with the tier lists of a tier-table set (cmg290/tier_set.h): its
// result equals cmg290::group(record, set)'s. The lists searched are named
// by their files ("single-2.90.csv"); the explanation names the set, and
// the deciding row's placeholder flag is the set's (TierSet::is_placeholder).
CMG290_API Explanation explain(std::string_view record, const TierSet& set);

// Where an explained record came from, and how to write it.
struct ExplainFormat {
  std::string_view file;      // input name, shown when not empty
  std::int64_t line = 0;      // line number, shown when above 0
  bool rawHighBytes = false;  // JSON: bytes 0x80-0xff as they are instead of \u0080-\u00ff
};

// The explanation as one JSON object on one line, without a line end (see
// docs/explain.md). Its "result" member holds the members of a JSON Lines
// result of `cmg290 group`, with "file" and "line" when the format names them.
CMG290_API std::string explain_json(const Explanation& explanation,
                                    const ExplainFormat& format = {});

// The explanation as a short indented report in plain words, ending in a
// line end.
CMG290_API std::string explain_text(const Explanation& explanation,
                                    const ExplainFormat& format = {});

// "single", "pair", "secondary".
CMG290_API const char* tier_list_name(TierList list) noexcept;

}  // namespace cmg290
