// Turns one grouping result into one output line: CSV, JSON Lines or
// fixed-width text. Rows are written into a caller's buffer without any
// allocation, since this runs once per record on the worker threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cmg290/cmg290.h"
#include "cmg290/edits.h"
#include "cmg290/tier_set.h"
#include "row_text.h"

namespace cmg290::cli {

enum class Format { Csv, Jsonl, Fixed };

// Status given to a line that --strict rejects for being shorter than a
// record; the grouper's own codes are 0 to 9.
inline constexpr int kStatusShortLine = -1;

// A result with the values the grouper resets its outputs to, for lines that
// are rejected without being grouped.
cmg290::Result ungrouped_result(int status);

// Description of a status code, including kStatusShortLine.
const char* describe_status(int status);

struct RowLayout {
  Format format = Format::Csv;
  // Input names for a leading file column; empty for a single input, which
  // needs no such column.
  std::vector<std::string> files;
  bool withId = false;
  std::size_t idStart = 0;  // 0-based
  std::size_t idLength = 0;
  // JSON Lines: each row names this set (tier_set_member); none when null.
  const TierSet* tierSet = nullptr;
  // Each row carries the record's edits: CSV a last column "edits" (the
  // codes joined with ";"), JSON Lines a member "edits" (an array of
  // objects) before "tier_set". Not in the fixed-width format.
  bool edits = false;
};

// The member naming a set in a JSON Lines row, with its leading comma:
// ,"tier_set":{...}, the set's identity as tier_set_json writes it (name,
// full sha256, deviations), the same object `explain -f json`, the server's
// answers and the Python and R frames carry.
std::string tier_set_member(const TierSet& set);

class RowFormatter {
 public:
  explicit RowFormatter(RowLayout layout);

  // The CSV header line; empty for the other formats.
  std::string header() const;

  // Upper bound of the bytes write_row() produces for any record.
  std::size_t max_row_size() const { return maxRow_; }

  // Writes the line for record `record` (the line without its end) of input
  // `file`, line number `line`, and returns the end of what was written.
  // `out` must have room for max_row_size() bytes. With the layout's
  // `edits`, `edits` holds the record's (none for a line not grouped).
  char* write_row(char* out, std::size_t file, const LineNumber& line, std::string_view record,
                  const cmg290::Result& result, const Edits& edits = kNoEdits) const;

  static const Edits kNoEdits;

 private:
  char* write_csv(char* out, std::size_t file, const LineNumber& line, std::string_view id,
                  const cmg290::Result& r, const Edits& edits) const;
  char* write_jsonl(char* out, std::size_t file, const LineNumber& line, std::string_view id,
                    const cmg290::Result& r, const Edits& edits) const;
  char* write_fixed(char* out, std::size_t file, const LineNumber& line, std::string_view id,
                    const cmg290::Result& r) const;
  const std::string& description(int status) const;
  // Writes "status,description," of a CSV row.
  char* put_status_cells(char* out, int status) const;

  RowLayout layout_;
  std::vector<std::string> fileCells_;       // names, quoted or padded for the format
  std::vector<std::string> descriptions_;    // per status -1 .. 9, then unknown
  std::vector<std::string> csvStatusCells_;  // per status -1 .. 9, zero-padded
  std::vector<std::size_t> csvStatusSizes_;  // their lengths without the padding
  std::string setMember_;                    // JSON Lines: tier_set_member, or empty
  std::size_t maxRow_ = 0;
};

}  // namespace cmg290::cli
