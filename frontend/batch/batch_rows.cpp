#include "batch/batch_rows.h"

#include "batch/edit_rows.h"
#include "cmg290/status.h"
#include "cmg290/tier_set.h"
#include "motor_number.h"

namespace cmg290::batch {

cmg290::Result group_one(std::string_view record, const cmg290::TierSet* set) noexcept {
  return set != nullptr ? cmg290::group(record, *set) : cmg290::group(record);
}

void fill_row(const cmg290::Result& r, const BatchColumns& c, std::size_t row) noexcept {
  const TextKeys& keys = text_keys();
  const bool grouped = cmg290::reaches_cmg_and_scores(r.status);
  c.status.put(row, r.status);
  if (c.description != nullptr) c.description[row] = keys.description(r.status);
  c.cmg[row] = grouped ? keys.cmg(r.cmg) : kNoText;
  if (c.tier != nullptr) c.tier[row] = grouped ? keys.tier(r.cmg) : kNoText;
  if (c.ric != nullptr) c.ric[row] = grouped ? keys.ric(r.cmg) : kNoText;
  if (c.motorScore != nullptr) {
    c.motorScore[row] = grouped ? cli::motor_number(r.motorScore) : c.missingReal;
  }
  c.cognitiveScore.put(row, grouped ? r.cognitiveScore : c.missingInt);
  if (c.cognitiveMissing != nullptr) c.cognitiveMissing[row] = !grouped;
  const bool aged = cmg290::reaches_age(r.status);
  c.age.put(row, aged ? r.age : c.missingInt);
  if (c.ageMissing != nullptr) c.ageMissing[row] = !aged;
  if (c.tableVersion != nullptr) c.tableVersion[row] = keys.table_version(r.tableVersion);
  if (c.grouperVersion != nullptr) c.grouperVersion[row] = keys.grouper_version(r.grouperVersion);
}

void group_row(std::string_view record, const BatchSettings& settings, const BatchColumns& c,
               std::size_t row) noexcept {
  const cmg290::Result r = group_one(record, settings.tierSet);
  fill_row(r, c, row);
  c.id.put(row, record);
  if (settings.edits && (c.edits != nullptr || c.editRows != nullptr)) {
    cmg290::Edits edits;
    find_record_edits(record, r, settings.tierSet, edits);
    if (c.edits != nullptr) c.edits[row] = edit_key(edits);
    if (c.editRows != nullptr) c.editRows->add(row, edits);
  }
}

}  // namespace cmg290::batch
