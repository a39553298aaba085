// Edits of any bytes: found without reading past the record, never more
// than two per field, their texts within the room the header promises, and
// the result grouped before them unchanged by them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "cmg290/cmg290.h"
#include "cmg290/edits.h"
#include "cmg290/tier_set.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An exact-size copy, so that a read past the end is caught.
  std::vector<char> bytes(data, data + size);
  const std::string_view record(bytes.data(), bytes.size());
  const cmg290::Result result = cmg290::group(record);
  cmg290::Edits edits, fromSet;
  cmg290::find_edits(record, result, edits);
  cmg290::find_edits(record, result, *cmg290::TierSet::compiled(), fromSet);
  if (edits.count != fromSet.count || edits.count > cmg290::Edits::kCapacity) std::abort();

  int perField[cmg290::kRecordFieldCount] = {};
  for (const cmg290::Edit& e : edits) {
    if (e.field >= 0 && ++perField[e.field] > 2) std::abort();
    char message[cmg290::kEditMessageMax];
    const std::size_t n = cmg290::write_edit_message(e, message);
    if (n >= cmg290::kEditMessageMax || message[n] != '\0') std::abort();
  }
  std::vector<char> codes(cmg290::edit_codes_room(edits) + 1);
  if (cmg290::write_edit_codes(codes.data(), edits) > codes.data() + codes.size() - 1) std::abort();
  std::vector<char> json(cmg290::edits_json_room(edits));
  if (cmg290::write_edits_json(json.data(), edits) > json.data() + json.size()) std::abort();

  const cmg290::Result again = cmg290::group(record);
  const bool same = result.status == again.status && std::strcmp(result.cmg, again.cmg) == 0 &&
                    std::strcmp(result.motorScore, again.motorScore) == 0 &&
                    result.cognitiveScore == again.cognitiveScore && result.age == again.age &&
                    std::strcmp(result.tableVersion, again.tableVersion) == 0;
  if (!same) std::abort();
  return 0;
}
