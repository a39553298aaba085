// Edits: the faults in a record that the status codes let pass, named
// beside the result so that whoever fixes records knows which to fix and
// why ("J3801" where the version compares "J38.01^^", an item "88", a date
// "20230230", ...). Finding them never changes a result.
//
// cmg290::find_edits looks at a record with the result that grouping it
// gave and the tier-table set that grouped it (or the compiled-in lists).
// It allocates nothing, takes no lock and keeps no state: any number of
// threads may call it at once. Records of status 1 (not IRF-PAI) and 2
// (record kind 3) are not grouped by design; they get no edits.
//
// docs/edits.md lists every edit with a record that raises it.
#pragma once

#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>

#include "cmg290/cmg290.h"
#include "cmg290/export.h"
#include "cmg290/record_layout.h"

namespace cmg290 {

enum class EditSeverity : unsigned char { Error, Warning };

// The edits by name: EditCode::ComorbidCodeForm, ...
enum class EditCode : unsigned char {
#define CMG290_EDIT(name, code, severity, meaning) name,
#include "cmg290/edits.def"
#undef CMG290_EDIT
};

struct EditInfo {
  EditCode id;
  std::string_view code;  // "comorbid-code-form"
  EditSeverity severity;
  std::string_view meaning;  // one line
};

inline constexpr EditInfo kEditCatalogue[] = {
#define CMG290_EDIT(name, code, severity, meaning) \
  {EditCode::name, code, EditSeverity::severity, meaning},
#include "cmg290/edits.def"
#undef CMG290_EDIT
};

inline constexpr std::size_t kEditCount = std::size(kEditCatalogue);

constexpr const EditInfo& edit_info(EditCode code) {
  return kEditCatalogue[static_cast<int>(code)];
}

// "error" or "warning".
constexpr std::string_view severity_text(EditSeverity severity) {
  return severity == EditSeverity::Error ? "error" : "warning";
}

// The edit of that code text, or nullptr.
constexpr const EditInfo* find_edit(std::string_view code) {
  for (const EditInfo& e : kEditCatalogue) {
    if (e.code == code) return &e;
  }
  return nullptr;
}

// One edit found in a record. Its texts are held inline; the message is
// written from them on demand (write_edit_message).
struct Edit {
  EditCode id;
  signed char field;  // index in kRecordLayout; -1 for the record as a whole
  unsigned char valueLength;
  unsigned char detailLength;
  char value[10];  // the field's text as read, without its trailing blanks
  // What the message names besides, as each edit needs (docs/edits.md): a
  // code's form, a score, a table version label or a RIC, the tier letters
  // now and with the form, a position, a length, a cell, a count.
  char detail[10];
  char label[5];  // terminated
  char tier[2];
  int number;
  int number2;

  std::string_view code() const { return edit_info(id).code; }
  EditSeverity severity() const { return edit_info(id).severity; }
  // The field by its layout name ("comorbid_code_3"); empty for the record.
  std::string_view field_name() const {
    return field < 0 ? std::string_view() : kRecordLayout[field].name;
  }
  std::string_view value_text() const { return std::string_view(value, valueLength); }
  std::string_view detail_text() const { return std::string_view(detail, detailLength); }
};

// The edits of one record, in the order the checks run (the order of the
// catalogue, except that the comorbid cells are looked at one after the
// other). No field raises more than two edits, so the list never fills.
struct Edits {
  static constexpr int kCapacity = 2 * static_cast<int>(kRecordFieldCount) + 2;

  int count = 0;
  Edit items[kCapacity];  // the first `count` hold edits

  bool empty() const { return count == 0; }
  const Edit* begin() const { return items; }
  const Edit* end() const { return items + count; }
  bool has(EditCode id) const {
    for (const Edit& e : *this) {
      if (e.id == id) return true;
    }
    return false;
  }
};

class TierSet;

// The edits of `record` given the result that grouping it with `set` gave
// (cmg290::group(record, set)); the comorbid codes are looked up in the
// set's lists of the result's table version.
CMG290_API void find_edits(std::string_view record, const Result& result, const TierSet& set,
                           Edits& edits) noexcept;

// The same for a result of cmg290::group(record), with the compiled-in lists.
CMG290_API void find_edits(std::string_view record, const Result& result, Edits& edits) noexcept;

// Longest message, terminator included.
inline constexpr std::size_t kEditMessageMax = 256;

// Writes the edit's English message into `out` (kEditMessageMax bytes) and
// terminates it; returns its length.
CMG290_API std::size_t write_edit_message(const Edit& edit, char* out) noexcept;

CMG290_API std::string edit_message(const Edit& edit);

// Longest code text of the catalogue.
constexpr std::size_t longest_edit_code() {
  std::size_t n = 0;
  for (const EditInfo& e : kEditCatalogue) n = e.code.size() > n ? e.code.size() : n;
  return n;
}

// Room write_edit_codes needs for these edits.
constexpr std::size_t edit_codes_room(const Edits& edits) {
  return static_cast<std::size_t>(edits.count) * (longest_edit_code() + 1);
}

// The codes joined with ";" ("comorbid-code-form;item-value"), nothing for
// no edits, for a CSV column. Returns the end of what was written; nothing
// is terminated.
CMG290_API char* write_edit_codes(char* out, const Edits& edits) noexcept;

// Most bytes one edit takes in write_edits_json, its comma included.
inline constexpr std::size_t kEditJsonMax = 128 + 6 * (sizeof(Edit::value) + kEditMessageMax);

// Room write_edits_json needs for these edits.
constexpr std::size_t edits_json_room(const Edits& edits) {
  return 2 + static_cast<std::size_t>(edits.count) * kEditJsonMax;
}

// The edits as a JSON array of objects, "[]" for none:
//   [{"code":"item-value","severity":"error","field":"motor_item_3",
//     "value":"88","message":"..."}]
// "field" is null for an edit of the whole record. Texts are escaped as
// write_json_escaped does. Returns the end of what was written.
CMG290_API char* write_edits_json(char* out, const Edits& edits) noexcept;

}  // namespace cmg290
