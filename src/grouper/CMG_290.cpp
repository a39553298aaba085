// The grouping pass: one straight pass from record to tier letter and CMG.
#include "cmg290/cmg290.h"
#include "cmg290/status.h"

#include <cstring>

#include "classify.h"
#include "cmg290/tables.h"
#include "decimal.h"
#include "pass.h"
#include "record_checks.h"
#include "record_intake.h"
#include "tier_search.h"

namespace cmg290::detail {

namespace {

int finish(const Outputs& out, Status status) {
  *out.status = static_cast<int>(status);
  return *out.status;
}

}  // namespace

int run_pass(const char* record, std::size_t recordLength, const Outputs& out) {
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
    return finish(out, status);
  }

  const int age = compute_age(f);
  *out.age = age;
  if (age > kMaxAge) return finish(out, Status::AgeTooHigh);

  char impairmentKey[8] = {};  // read as one word: no byte left unset
  remove_blanks(f.impairmentGroup + 2, 7, impairmentKey);
  const int impRow = find_impairment_row(impairmentKey);
  if (impRow == 0) return finish(out, Status::ImpairmentUnknown);
  const char* ric = Ric240[impRow];

  const int motor = motor_sum(f);
  char motorText[16];
  const int motorLength = motor_text(motor, motorText);
  std::memcpy(out.motorScore, motorText, static_cast<std::size_t>(motorLength) + 1);
  const int cognitive = cognitive_sum(f);
  *out.cognitiveScore = cognitive;

  const int cmgRow = find_cmg_row(ric, motor, cognitive, age);

  out.cmgResult[0] = tier_letter_from_record(version, ric, full.data());
  out.cmgResult[1] = '\0';
  // A CMG cell is four digits and its terminator: the whole cell follows the
  // letter.
  if (cmgRow != 0) std::memcpy(out.cmgResult + 1, CMG[cmgRow], sizeof CMG[cmgRow]);
  return 0;
}

}  // namespace cmg290::detail

int CMG_290(char* record, char* cmgResult, int* status, char* motorScore, int* cognitiveScore,
            int* age, char* tableVersion, char* grouperVersion) {
  using namespace cmg290::detail;
  return run_pass(
      record, cmg290::kRecordLength,
      Outputs{cmgResult, status, motorScore, cognitiveScore, age, tableVersion, grouperVersion});
}

namespace cmg290 {

Result group(std::string_view record) noexcept {
  Result r{};
  detail::run_pass(record.data(), record.size(),
                   detail::Outputs{r.cmg, &r.status, r.motorScore, &r.cognitiveScore, &r.age,
                                   r.tableVersion, r.grouperVersion});
  return r;
}

const char* status_text(int status) noexcept {
  const StatusCode* s = find_status_code(status);
  // Every description is a literal, so its view ends at a terminator.
  return s != nullptr ? s->description.data() : kUnknownStatusText.data();
}

}  // namespace cmg290
