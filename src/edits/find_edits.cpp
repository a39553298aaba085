// cmg290::find_edits: the checks in order over the record, read in full.
#include <cstring>

#include "cmg290/edits.h"
#include "cmg290/status.h"
#include "cmg290/tier_set.h"
#include "edits/edit_checks.h"
#include "grouper/record_intake.h"
#include "tiersets/set_data.h"

namespace cmg290 {

namespace {

// The table version whose label the result carries; None for four blanks.
detail::TableVersion version_of(const Result& result) {
  for (const detail::TableVersionInfo& v : detail::kTableVersions) {
    if (std::memcmp(result.tableVersion, v.label, 4) == 0) return v.id;
  }
  return detail::TableVersion::None;
}

}  // namespace

void find_edits(std::string_view record, const Result& result, const TierSet& set,
                Edits& edits) noexcept {
  using namespace edits_detail;
  edits.count = 0;
  if (result.status == static_cast<int>(Status::NotIrfPai) ||
      result.status == static_cast<int>(Status::RecordKind3)) {
    return;
  }
  const detail::FullRecord full(record.data(), record.size());
  detail::prefetch_record(full.data());
  EditContext c{full.data(), result, set.data().index, version_of(result)};
  c.unreadable = unreadable_fields(c.record);
  if (record.size() < kRecordLength) {
    Edit* e = add_edit(edits, EditCode::ShortRecord, -1, c.record);
    e->number = static_cast<int>(record.size());
  }
  if (c.unreadable != 0) check_unreadable(c, edits);
  check_dates(c, edits);
  check_impairment(c, edits);
  check_comorbid(c, edits);
  check_items(c, edits);
  check_cmg_row(c, edits);
}

void find_edits(std::string_view record, const Result& result, Edits& edits) noexcept {
  static const TierSet& compiled = *TierSet::compiled();
  find_edits(record, result, compiled, edits);
}

}  // namespace cmg290
