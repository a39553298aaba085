// The grouping pass: one straight pass from record to tier letter and CMG.
#include "cmg290/cmg290.h"
#include "cmg290/status.h"

#include "grouper/pass.h"
#include "grouper/pass_body.h"
#include "grouper/tier_search.h"

namespace cmg290::detail {

int run_pass(const char* record, std::size_t recordLength, const Outputs& out) {
  return run_pass_with(record, recordLength, out,
                       [](TableVersion version, const char* ric, const char* full) {
                         return tier_letter_from_record(version, ric, full);
                       });
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
