// One row of a batch's plain arrays: what grouping a record writes there.
// The arrays belong to the caller, each with room for every row; the text
// outputs are keys (text_keys.h, edit_keys.h) the caller turns into its own
// strings afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

#include "batch/edit_keys.h"
#include "batch/text_keys.h"
#include "cmg290/cmg290.h"
#include "record_id.h"

namespace cmg290 {
class TierSet;
}

namespace cmg290::batch {

class EditRows;

// How the records are grouped: settings that change the grouping itself
// come here, so that every entry passes them on the same way.
struct BatchSettings {
  const cmg290::TierSet* tierSet = nullptr;  // null: the compiled-in lists
  bool edits = false;                        // find each record's edits too
  int threads = 1;                           // the calling thread among them
};

// An integer per row, in 32 or 64 bits as the caller's column holds them.
struct IntColumn {
  void* data = nullptr;  // null: not wanted
  bool wide = false;     // std::int64_t, else std::int32_t

  void put(std::size_t row, std::int64_t value) const noexcept {
    if (data == nullptr) return;
    if (wide) {
      static_cast<std::int64_t*>(data)[row] = value;
    } else {
      static_cast<std::int32_t*>(data)[row] = static_cast<std::int32_t>(value);
    }
  }
};

// Each row's id (record_id.h): `range.length` bytes a row, blank-filled.
struct IdColumn {
  char* data = nullptr;  // null: not wanted
  cli::IdRange range;

  void put(std::size_t row, std::string_view record) const noexcept {
    if (data != nullptr) range.put(record, data + row * range.length);
  }
};

// Every column but `cmg`, which notes each row's state, may be left null
// by a caller that does not want it.
struct BatchColumns {
  IntColumn status;
  IntColumn cognitiveScore;          // `missingInt` where the grouping did not reach it
  IntColumn age;                     // the same
  double* motorScore = nullptr;      // `missingReal` where not reached
  bool* cognitiveMissing = nullptr;  // optional: true where not reached
  bool* ageMissing = nullptr;        // the same
  TextKey* description = nullptr;
  TextKey* cmg = nullptr;  // kNoText where not grouped; kUnsettled for a row not read
  TextKey* tableVersion = nullptr;
  TextKey* grouperVersion = nullptr;
  // The id, and the CMG's tier letter and RIC (kNoText where not grouped,
  // or for the RIC of a tier letter alone).
  IdColumn id;
  TextKey* tier = nullptr;
  TextKey* ric = nullptr;
  EditKey* edits = nullptr;      // written when the settings ask for edits
  EditRows* editRows = nullptr;  // the same: each edit in long form (edit_rows.h)
  IntColumn line;                // a file's batch: the record's line in the file, from 1
  std::int64_t missingInt = 0;
  double missingReal = std::numeric_limits<double>::quiet_NaN();
};

// cmg290::group with the set's lists, or the compiled-in ones for null.
cmg290::Result group_one(std::string_view record, const cmg290::TierSet* set) noexcept;

// Writes row `row` from one result.
void fill_row(const cmg290::Result& r, const BatchColumns& c, std::size_t row) noexcept;

// Groups one record into row `row`, with its edits when asked for. Callers
// use it for the rows a batch left unsettled, once their records are read.
void group_row(std::string_view record, const BatchSettings& settings, const BatchColumns& c,
               std::size_t row) noexcept;

// True when row `row` needs the caller's own thread: not grouped, a text
// the keys lack, or more edits than a key holds.
inline bool row_needs_caller(const BatchColumns& c, std::size_t row) noexcept {
  return c.cmg[row] == kUnsettled || c.cmg[row] == kOddText ||
         (c.tableVersion != nullptr && c.tableVersion[row] == kOddText) ||
         (c.grouperVersion != nullptr && c.grouperVersion[row] == kOddText) ||
         (c.edits != nullptr && c.edits[row] == kManyEdits);
}

}  // namespace cmg290::batch
