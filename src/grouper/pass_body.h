// The body of the grouping pass, shared by the entries over the compiled-in
// tier lists and those over a loaded tier-table set.
#pragma once

#include <cstring>

#include "cmg290/cmg290.h"
#include "cmg290/status.h"
#include "cmg290/tables.h"
#include "grouper/classify.h"
#include "grouper/decimal.h"
#include "grouper/pass.h"
#include "grouper/record_checks.h"
#include "grouper/record_intake.h"

namespace cmg290::detail {

inline int finish_pass(const Outputs& out, Status status) {
  *out.status = static_cast<int>(status);
  return *out.status;
}

// The pass, with the tier letter from tierLetter(version, ric, fullRecord):
// the compiled-in lists' search (run_pass) or a loaded set's. A template, so
// that each search is called directly, without a branch or an indirection;
// inlined whole into each entry, so the compiled-in entry's code is what it
// was before the loaded sets came.
template <typename TierLetter>
[[gnu::always_inline]] inline int run_pass_with(const char* record, std::size_t recordLength,
                                                const Outputs& out, TierLetter tierLetter) {
  std::memcpy(out.cmgResult, kResetResult.cmg, sizeof kResetResult.cmg);
  *out.status = kResetResult.status;
  *out.cognitiveScore = kResetResult.cognitiveScore;
  std::memcpy(out.motorScore, kResetResult.motorScore, sizeof kResetResult.motorScore);
  *out.age = kResetResult.age;
  std::memcpy(out.tableVersion, kResetResult.tableVersion, sizeof kResetResult.tableVersion);

  // Every stage reads the record in full; a short one is padded once here.
  const FullRecord full(record, recordLength);
  prefetch_record(full.data());
  Fields f;
  extract_fields(full.data(), kRecordLength, f);

  const std::int64_t versionDate = date_value(f.versionDate);
  const TableVersion version = choose_version(versionDate);
  // Every label, "    " included, is four characters and a terminator.
  if (version != TableVersion::None) std::memcpy(out.tableVersion, version_label(version), 5);
  std::memcpy(out.grouperVersion, kGrouperVersion.data(), kGrouperVersion.size() + 1);

  if (const Status status = check_record(f, versionDate); status != Status::Grouped) {
    return finish_pass(out, status);
  }

  const int age = compute_age(f);
  *out.age = age;
  if (age > kMaxAge) return finish_pass(out, Status::AgeTooHigh);

  char impairmentKey[8] = {};  // read as one word: no byte left unset
  remove_blanks(f.impairmentGroup + 2, 7, impairmentKey);
  const int impRow = find_impairment_row(impairmentKey);
  if (impRow == 0) return finish_pass(out, Status::ImpairmentUnknown);
  const char* ric = Ric240[impRow];

  const int motor = motor_sum(f);
  char motorText[16];
  const int motorLength = motor_text(motor, motorText);
  std::memcpy(out.motorScore, motorText, static_cast<std::size_t>(motorLength) + 1);
  const int cognitive = cognitive_sum(f);
  *out.cognitiveScore = cognitive;

  const int cmgRow = find_cmg_row(ric, motor, cognitive, age);

  out.cmgResult[0] = tierLetter(version, ric, full.data());
  out.cmgResult[1] = '\0';
  // A CMG cell is four digits and its terminator: the whole cell follows the
  // letter.
  if (cmgRow != 0) std::memcpy(out.cmgResult + 1, CMG[cmgRow], sizeof CMG[cmgRow]);
  return 0;
}

}  // namespace cmg290::detail
