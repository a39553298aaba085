#include "batch/edit_keys.h"

#include <vector>

#include "cmg290/tier_set.h"

namespace cmg290::batch {

namespace {

constexpr int kKeyEdits = 16;
// Codes are stored plus one, so that four bits of 0 end the list.
static_assert(cmg290::kEditCount < 15, "an edit code no longer fits four bits of a key");

}  // namespace

void find_record_edits(std::string_view record, const cmg290::Result& result,
                       const cmg290::TierSet* set, cmg290::Edits& edits) noexcept {
  if (set != nullptr) {
    cmg290::find_edits(record, result, *set, edits);
  } else {
    cmg290::find_edits(record, result, edits);
  }
}

EditKey edit_key(const cmg290::Edits& edits) noexcept {
  if (edits.count > kKeyEdits) return kManyEdits;
  EditKey key = 0;
  for (int i = 0; i < edits.count; ++i) {
    key |= (static_cast<EditKey>(edits.items[i].id) + 1) << (4 * i);
  }
  return key;
}

std::string edit_codes_text(const cmg290::Edits& edits) {
  std::vector<char> text(cmg290::edit_codes_room(edits) + 1);
  const char* const begin = text.data();
  const char* end = cmg290::write_edit_codes(text.data(), edits);
  return std::string(begin, end);
}

std::string edit_key_text(EditKey key) {
  cmg290::Edits edits;
  for (; key != 0 && edits.count < kKeyEdits; key >>= 4) {
    edits.items[edits.count++].id = static_cast<cmg290::EditCode>((key & 15) - 1);
  }
  return edit_codes_text(edits);
}

}  // namespace cmg290::batch
