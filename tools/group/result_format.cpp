#include "result_format.h"

#include <algorithm>
#include <cstring>

#include "cmg290/result_json.h"
#include "cmg290/status.h"
#include "record_id.h"
#include "row_text.h"
#include "text_cells.h"

namespace cmg290::cli {

using frontend::csv_cell;
using frontend::csv_needs_quotes;
using frontend::json_string;
using frontend::put_csv_escaped;

namespace {

constexpr int kLowestStatus = kStatusShortLine;
constexpr int kHighestStatus = cmg290::highest_status_code();
constexpr std::size_t kUnknownSlot = kHighestStatus - kLowestStatus + 1;

// Field widths of the fixed-width format; a wider value pushes the rest of
// its line to the right rather than being cut.
constexpr std::size_t kLineWidth = 10;
constexpr std::size_t kStatusWidth = 2;
constexpr std::size_t kCmgWidth = 5;
constexpr std::size_t kMotorWidth = 6;
constexpr std::size_t kCognitiveWidth = 4;
constexpr std::size_t kAgeWidth = 5;

// Which results the grouping reached for a status. Results not reached are
// left empty (null in JSON) instead of showing the grouper's reset values,
// which could pass for real ones (age 0).
struct Reached {
  explicit Reached(int status)
      : scores(cmg290::reaches_cmg_and_scores(status)), age(cmg290::reaches_age(status)) {}
  bool scores;
  bool age;
};

}  // namespace

cmg290::Result ungrouped_result(int status) {
  cmg290::Result r = cmg290::kResetResult;
  r.status = status;
  return r;
}

const char* describe_status(int status) {
  if (status == kStatusShortLine) return "line shorter than 1251 characters";
  return cmg290::status_text(status);
}

const Edits RowFormatter::kNoEdits{};

std::string tier_set_member(const TierSet& set) {
  return ",\"tier_set\":" + tier_set_json(set);
}

RowFormatter::RowFormatter(RowLayout layout) : layout_(std::move(layout)) {
  if (layout_.format == Format::Jsonl && layout_.tierSet != nullptr) {
    setMember_ = tier_set_member(*layout_.tierSet);
  }
  std::size_t nameWidth = 0;
  for (const std::string& f : layout_.files) nameWidth = std::max(nameWidth, f.size());
  for (const std::string& f : layout_.files) {
    switch (layout_.format) {
      case Format::Csv:
        fileCells_.push_back(csv_cell(f));
        break;
      case Format::Jsonl:
        fileCells_.push_back(json_string(f));
        break;
      case Format::Fixed:
        fileCells_.push_back(f + std::string(nameWidth - f.size(), ' '));
        break;
    }
  }
  for (int s = kLowestStatus; s <= kHighestStatus + 1; ++s) {
    const char* text = s <= kHighestStatus ? describe_status(s) : cmg290::kUnknownStatusText.data();
    switch (layout_.format) {
      case Format::Csv:
        descriptions_.push_back(csv_cell(text));
        break;
      case Format::Jsonl:  // escaped as it is written
        descriptions_.push_back(text);
        break;
      case Format::Fixed:
        descriptions_.push_back(text);
        break;
    }
  }
  std::size_t longestFile = 0;
  for (const std::string& c : fileCells_) longestFile = std::max(longestFile, c.size());
  std::size_t longestDescription = 0;
  for (const std::string& d : descriptions_) {
    longestDescription = std::max(longestDescription, d.size());
  }
  // Fixed parts (keys, numbers of at most 20 characters, result texts) fit
  // in 256 bytes; an escaped id takes at most six bytes per character.
  maxRow_ = longestFile + 6 * longestDescription + 6 * layout_.idLength + setMember_.size() + 256 +
            kSpare;
  if (layout_.edits) {
    // As many edits as a record can raise, in the room the library names.
    Edits most;
    most.count = Edits::kCapacity;
    maxRow_ += layout_.format == Format::Jsonl ? sizeof(",\"edits\":") + edits_json_room(most)
                                               : 1 + edit_codes_room(most);
  }

  // "status,description," of each known status, for CSV rows.
  for (int s = kLowestStatus; s <= kHighestStatus; ++s) {
    std::string cells = std::to_string(s) + "," + description(s) + ",";
    const std::size_t size = cells.size();
    cells.resize(std::max(size, kSpare), '\0');
    csvStatusCells_.push_back(std::move(cells));
    csvStatusSizes_.push_back(size);
  }
}

char* RowFormatter::put_status_cells(char* out, int status) const {
  const std::size_t slot = status < kLowestStatus || status > kHighestStatus
                               ? kUnknownSlot
                               : static_cast<std::size_t>(status - kLowestStatus);
  if (slot == kUnknownSlot || csvStatusSizes_[slot] > kSpare) {
    out = put_int(out, status);
    *out++ = ',';
    out = put(out, description(status));
    *out++ = ',';
    return out;
  }
  // Padded to take one copy of a fixed size.
  std::memcpy(out, csvStatusCells_[slot].data(), kSpare);
  return out + csvStatusSizes_[slot];
}

const std::string& RowFormatter::description(int status) const {
  if (status < kLowestStatus || status > kHighestStatus) return descriptions_[kUnknownSlot];
  return descriptions_[static_cast<std::size_t>(status - kLowestStatus)];
}

std::string RowFormatter::header() const {
  if (layout_.format != Format::Csv) return {};
  std::string h;
  if (!layout_.files.empty()) h += "file,";
  h += "line,";
  if (layout_.withId) h += "id,";
  h += "status,description,cmg,motor_score,cognitive_score,age,table_version,grouper_version";
  h += layout_.edits ? ",edits\n" : "\n";
  return h;
}

char* RowFormatter::write_row(char* out, std::size_t file, const LineNumber& line,
                              std::string_view record, const cmg290::Result& result,
                              const Edits& edits) const {
  // Positions past the end of a short line read as blanks, as in grouping;
  // the blanks are added by the writers below.
  const std::string_view id =
      layout_.withId ? IdRange{layout_.idStart, layout_.idLength}.cut(record) : std::string_view();
  switch (layout_.format) {
    case Format::Csv:
      return write_csv(out, file, line, id, result, edits);
    case Format::Jsonl:
      return write_jsonl(out, file, line, id, result, edits);
    case Format::Fixed:
      return write_fixed(out, file, line, id, result);
  }
  return out;
}

char* RowFormatter::write_csv(char* out, std::size_t file, const LineNumber& line,
                              std::string_view id, const cmg290::Result& r,
                              const Edits& edits) const {
  if (!fileCells_.empty()) {
    out = put(out, fileCells_[file]);
    *out++ = ',';
  }
  out = line.put(out);
  *out++ = ',';
  if (layout_.withId) {
    const bool quote = csv_needs_quotes(id);
    if (quote) *out++ = '"';
    out = put_csv_escaped(out, id);
    out = put_blanks(out, layout_.idLength - id.size());
    if (quote) *out++ = '"';
    *out++ = ',';
  }
  out = put_status_cells(out, r.status);
  const Reached reached(r.status);
  if (reached.scores) out = put_trimmed(out, r.cmg);
  *out++ = ',';
  if (reached.scores) out = put_trimmed(out, r.motorScore);
  *out++ = ',';
  if (reached.scores) out = put_small_int(out, r.cognitiveScore);
  *out++ = ',';
  if (reached.age) out = put_small_int(out, r.age);
  *out++ = ',';
  out = put_trimmed(out, r.tableVersion);
  *out++ = ',';
  out = put_trimmed(out, r.grouperVersion);
  if (layout_.edits) {
    // Codes are letters and hyphens joined with ";": never quoted.
    *out++ = ',';
    out = cmg290::write_edit_codes(out, edits);
  }
  *out++ = '\n';
  return out;
}

char* RowFormatter::write_jsonl(char* out, std::size_t file, const LineNumber& line,
                                std::string_view id, const cmg290::Result& r,
                                const Edits& edits) const {
  *out++ = '{';
  if (!fileCells_.empty()) {
    out = put(out, "\"file\":");
    out = put(out, fileCells_[file]);
    *out++ = ',';
  }
  out = put(out, "\"line\":");
  out = line.put(out);
  if (layout_.withId) {
    out = put(out, ",\"id\":\"");
    out = cmg290::write_json_escaped(out, id);
    out = put_blanks(out, layout_.idLength - id.size());
    *out++ = '"';
  }
  *out++ = ',';
  out = cmg290::write_result_json(out, r, description(r.status));
  if (layout_.edits) {
    out = put(out, ",\"edits\":");
    out = cmg290::write_edits_json(out, edits);
  }
  out = put(out, setMember_);
  out = put(out, "}\n");
  return out;
}

char* RowFormatter::write_fixed(char* out, std::size_t file, const LineNumber& line,
                                std::string_view id, const cmg290::Result& r) const {
  if (!fileCells_.empty()) {
    out = put(out, fileCells_[file]);
    *out++ = ' ';
  }
  out = put_right(out, line.text(), kLineWidth);
  *out++ = ' ';
  if (layout_.withId) {
    out = put(out, id);
    out = put_blanks(out, layout_.idLength - id.size());
    *out++ = ' ';
  }
  out = put_int_right(out, r.status, kStatusWidth);
  *out++ = ' ';
  const Reached reached(r.status);
  if (reached.scores) {
    const std::string_view cmg = raw(r.cmg);
    out = put(out, cmg);
    if (cmg.size() < kCmgWidth) out = put_blanks(out, kCmgWidth - cmg.size());
    *out++ = ' ';
    out = put_right(out, without_end_blanks(r.motorScore), kMotorWidth);
    *out++ = ' ';
    out = put_int_right(out, r.cognitiveScore, kCognitiveWidth);
  } else {
    out = put_blanks(out, kCmgWidth + 1 + kMotorWidth + 1 + kCognitiveWidth);
  }
  *out++ = ' ';
  out = reached.age ? put_int_right(out, r.age, kAgeWidth) : put_blanks(out, kAgeWidth);
  *out++ = ' ';
  out = put(out, raw(r.tableVersion));
  *out++ = ' ';
  out = put(out, raw(r.grouperVersion));
  *out++ = ' ';
  out = put(out, description(r.status));
  *out++ = '\n';
  return out;
}

}  // namespace cmg290::cli
