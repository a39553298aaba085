// The edits of the comorbid codes: each cell as the tier search of the
// result's table version reads it (cells 1 to 10, or 1 to 25 up to the first
// that begins with "^"), a code in a form other than the one the lists
// hold, of the other family or of no family, a code twice, and a code in a
// cell that is not read.
#include <bit>
#include <cstring>
#include <string_view>
#include <utility>

#include "cmg290/tables.h"
#include "edits/code_shapes.h"
#include "edits/edit_checks.h"
#include "grouper/classify.h"
#include "grouper/packed_code.h"
#include "grouper/tier_scan.h"
#include "tiersets/set_data.h"

namespace cmg290::edits_detail {

namespace {

using detail::TableVersion;

// The code is an entry of one of the version's lists.
bool on_lists(const EditContext& c, std::uint64_t key) {
  if (c.index.single(c.version).codes.find(key) != 0) return true;
  if (!tables::lists_of(c.version).pairStage) return false;
  return c.index.pairs.codeIds.find(key) != 0 || c.index.secondary().codes.find(key) != 0;
}

// The tier letter the record would get with `form` in cell k (0-based), or
// '\0' when the record was not grouped.
char tier_with_form(const EditContext& c, int k, std::string_view form) {
  if (c.result.status != 0) return '\0';
  char key[8] = {};
  detail::remove_blanks(c.record + field_layout(FieldId::impairment_group).start + 1, 7, key);
  const int row = detail::find_impairment_row(key);
  if (row == 0) return '\0';
  char copy[kRecordLength];
  std::memcpy(copy, c.record, kRecordLength);
  char* slot = copy + detail::kComorbidStart[k] - 1;
  std::memset(slot, ' ', 8);
  std::memcpy(slot, form.data(), form.size());
  return tiersets::set_tier_hit(c.index, c.version, Ric240[row], copy).letter;
}

void set_label(Edit& e, TableVersion v) {
  std::memcpy(e.label, table_version_info(v).label, 5);
}

// The edit of one read code, if any.
void check_code(const EditContext& c, int k, std::string_view code, Edits& edits) {
  const CodeFamily family = table_version_info(c.version).family;
  if (in_list_form(code, family)) return;
  const int field = static_cast<int>(FieldId::comorbid_code_1) + k;
  char form[9];
  const int n = list_form(code, family, form);
  const std::string_view formText(form, static_cast<std::size_t>(n));
  if (n != 0 && formText != code && on_lists(c, detail::pack_code(form))) {
    Edit* e = add_edit(edits, EditCode::ComorbidCodeForm, field, c.record);
    if (e == nullptr) return;
    set_text(e->detail, e->detailLength, formText, sizeof e->detail);
    set_label(*e, c.version);
    e->tier[0] = c.result.status == 0 ? c.result.cmg[0] : '\0';
    e->tier[1] = tier_with_form(c, k, formText);
    return;
  }
  const bool icd9 = icd9_shaped(code), icd10 = icd10_shaped(code);
  const bool otherFamily = family == CodeFamily::Icd10 ? icd9 && !icd10 : icd10 && !icd9;
  if (otherFamily) {
    Edit* e = add_edit(edits, EditCode::ComorbidCodeFamily, field, c.record);
    if (e != nullptr) set_label(*e, c.version);
  } else if (!icd9 && !icd10) {
    add_edit(edits, EditCode::ComorbidCodeShape, field, c.record);
  }
}

}  // namespace

void check_comorbid(const EditContext& c, Edits& edits) {
  if (c.version == TableVersion::None) return;
  std::uint32_t filled =
      detail::filled_slots(c.record, std::make_index_sequence<detail::kComorbidSlots>{});
  if (filled == 0) return;
  const detail::TableVersionInfo& info = table_version_info(c.version);
  const int firstField = static_cast<int>(FieldId::comorbid_code_1);

  std::uint64_t keys[detail::kComorbidSlots];
  int cells[detail::kComorbidSlots];
  int seen = 0;
  int endCell = 0;  // the cell whose "^" ended the scan
  for (; filled != 0; filled &= filled - 1) {
    const int k = std::countr_zero(filled);
    // The code as the tier search compares it: the cell without blanks, up
    // to its first zero byte, packed first character lowest.
    const detail::SlotCode slot = detail::read_slot(c.record + detail::kComorbidStart[k] - 1);
    const std::uint64_t key = slot.key;
    char text[8];
    for (int i = 0; i < 8; ++i) text[i] = static_cast<char>(key >> (8 * i));
    const std::string_view code(text, static_cast<std::size_t>(std::bit_width(key) + 7) / 8);
    if (info.cells == 25 && endCell == 0 && slot.first == '^') {
      endCell = k + 1;
      continue;
    }
    if (code.empty() || slot.first == '^') continue;
    if (k >= info.cells || endCell != 0) {
      Edit* e = add_edit(edits, EditCode::ComorbidCodeUnread, firstField + k, c.record);
      if (e == nullptr) return;
      set_label(*e, c.version);
      e->number = endCell;
      continue;
    }
    if (((c.unreadable >> (firstField + k)) & 1) == 0) check_code(c, k, code, edits);
    for (int j = 0; j < seen; ++j) {
      if (keys[j] != key) continue;
      Edit* e = add_edit(edits, EditCode::ComorbidCodeRepeated, firstField + k, c.record);
      if (e != nullptr) e->number = cells[j];
      break;
    }
    keys[seen] = key;
    cells[seen++] = k + 1;
  }
}

}  // namespace cmg290::edits_detail
