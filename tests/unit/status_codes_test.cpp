// The status table against the grouper: every status the pass returns is in
// it, and what the table says a status reaches is what the pass filled in.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "cmg290/cmg290.h"
#include "cmg290/status.h"
#include "sample_records.h"

namespace {

using namespace cmg290;

TEST(StatusCodes, EveryReturnedStatusIsDescribedAndFillsWhatItReaches) {
  std::set<int> seen;
  for (const std::string& record : test::sample_records()) {
    const Result r = group(record);
    seen.insert(r.status);
    const StatusCode* s = find_status_code(r.status);
    ASSERT_NE(s, nullptr) << r.status;
    EXPECT_STREQ(status_text(r.status), std::string(s->description).c_str());
    if (reaches_cmg_and_scores(r.status)) {
      EXPECT_NE(r.cmg[0], ' ') << record.substr(0, 40);
    } else {
      EXPECT_STREQ(r.cmg, kResetResult.cmg) << r.status;
      EXPECT_STREQ(r.motorScore, kResetResult.motorScore) << r.status;
      EXPECT_EQ(r.cognitiveScore, kResetResult.cognitiveScore) << r.status;
    }
    if (!reaches_age(r.status)) {
      EXPECT_EQ(r.age, kResetResult.age) << r.status;
    }
    EXPECT_STREQ(r.grouperVersion, kResetResult.grouperVersion);
  }
  // The bundled records hold every status, so the loop saw each row.
  EXPECT_EQ(seen.size(), std::size(kStatusCodes));
}

TEST(StatusCodes, CodesAreUniqueAndUnknownCodesReachNothing) {
  std::set<int> codes;
  for (const StatusCode& s : kStatusCodes) EXPECT_TRUE(codes.insert(s.code).second) << s.code;
  for (const int unknown : {-1, 4, 8, 10}) {
    EXPECT_EQ(find_status_code(unknown), nullptr);
    EXPECT_STREQ(status_text(unknown), "unknown status");
    EXPECT_FALSE(reaches_age(unknown) || reaches_cmg_and_scores(unknown));
  }
  EXPECT_EQ(highest_status_code(), 9);
  EXPECT_TRUE(reaches_age(7) && reaches_age(9) && !reaches_cmg_and_scores(9));
}

}  // namespace
