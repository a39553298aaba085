// The tier letter in front of the CMG code: version choice, code scans,
// excluded RICs, the pair and secondary stages of 2.82 and 2.90.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "cmg290/tier_tables.h"
#include "grouping.h"
#include "record_builder.h"

namespace cmg290::test {
namespace {

// Impairment groups that give the RICs used below.
constexpr const char* kRic01 = "  01.1";
constexpr const char* kRic03 = "  02.1";
constexpr const char* kRic14 = "  09";
constexpr const char* kRic15 = "  10.1";

// The tier letter of a record dated `date` for RIC `impairment` whose
// comorbid slots hold `codes` from slot 1 on.
char tier(const char* date, const char* impairment, std::vector<std::string> codes,
          int firstSlot = 1) {
  RecordBuilder b = RecordBuilder::valid().versionDate(date).impairment(impairment);
  int k = firstSlot;
  for (const std::string& c : codes) b.comorbid(k++, c);
  const Grouped g = group_record(b);
  EXPECT_EQ(g.status, 0);
  return g.cmg.empty() ? '?' : g.cmg[0];
}

TEST(TierVersion, BoundaryDatesPickTheirOwnList) {
  // 488.0 left the list with 2.50, 488.01 entered it.
  EXPECT_EQ(tier("20100930", kRic01, {"488.0"}), 'D');
  EXPECT_EQ(tier("20101001", kRic01, {"488.0"}), 'A');
  EXPECT_EQ(tier("20100930", kRic01, {"488.01"}), 'A');
  EXPECT_EQ(tier("20101001", kRic01, {"488.01"}), 'D');
  // 999.32 entered with 2.60; 2.70 searches the same list with the full scan.
  EXPECT_EQ(tier("20110930", kRic01, {"999.32"}), 'A');
  EXPECT_EQ(tier("20111001", kRic01, {"999.32"}), 'D');
  EXPECT_EQ(tier("20140930", kRic01, {"478.6"}, 11), 'A');
  EXPECT_EQ(tier("20141001", kRic01, {"478.6"}, 11), 'B');
  // ICD-10 codes count from 2.82 on.
  EXPECT_EQ(tier("20150930", kRic01, {"Z99.2^^^"}), 'A');
  EXPECT_EQ(tier("20151001", kRic01, {"Z99.2^^^"}), 'B');
  EXPECT_EQ(tier("20150930", kRic01, {"V45.11"}), 'B');
  EXPECT_EQ(tier("20151001", kRic01, {"V45.11"}), 'A');
  // 2.90 replaced E08.321^ by four longer codes.
  EXPECT_EQ(tier("20160930", kRic01, {"E08.321^"}), 'D');
  EXPECT_EQ(tier("20161001", kRic01, {"E08.321^"}), 'A');
  EXPECT_EQ(tier("20160930", kRic01, {"E08.3211"}), 'A');
  EXPECT_EQ(tier("20161001", kRic01, {"E08.3211"}), 'D');
  // A gap date searches nothing.
  EXPECT_EQ(tier("20100931", kRic01, {"478.31"}), 'A');
  EXPECT_EQ(tier("20151000", kRic01, {"Z99.2^^^"}), 'A');
}

TEST(TierScan, ShortScanSeesCellsOneToTenOnly) {
  EXPECT_EQ(tier("20120101", kRic01, {"478.6"}, 10), 'B');
  EXPECT_EQ(tier("20120101", kRic01, {"478.6"}, 11), 'A');
  EXPECT_EQ(tier("20120101", kRic01, {"478.6"}, 25), 'A');
  EXPECT_EQ(tier("20150101", kRic01, {"478.6"}, 25), 'B');
  // The short scan knows no end marker.
  EXPECT_EQ(tier("20120101", kRic01, {"", "", "^", "", "", "", "478.6"}), 'B');
}

TEST(TierScan, CaretEndsTheFullScanOnlyAsFirstCharacter) {
  EXPECT_EQ(tier("20150101", kRic01, {"^", "478.6"}), 'A');
  EXPECT_EQ(tier("20170101", kRic01, {"^^^^^^^^", "Z99.2^^^"}), 'A');
  // Blanks before the marker are removed first, so it still ends the list.
  EXPECT_EQ(tier("20170101", kRic01, {"   ^", "Z99.2^^^"}), 'A');
  // A marker later in a cell means nothing; an empty cell does not end it.
  EXPECT_EQ(tier("20170101", kRic01, {"J^", "", "Z99.2^^^"}), 'B');
  EXPECT_EQ(tier("20170101", kRic01, {"Z99.2^^^", "^"}), 'B');
}

TEST(TierScan, CodesMatchWholeWithFillAndCase) {
  EXPECT_EQ(tier("20170101", kRic01, {"Z99.2"}), 'A');
  EXPECT_EQ(tier("20170101", kRic01, {"z99.2^^^"}), 'A');
  EXPECT_EQ(tier("20120101", kRic01, {" V45 .11"}), 'B');  // blanks are removed
  EXPECT_EQ(tier("20170101", kRic01, {"A35.^^^^"}), 'D');
  EXPECT_EQ(tier("20170101", kRic01, {"A35"}), 'A');
  EXPECT_EQ(tier("20120101", kRic01, {"042."}), 'D');
  EXPECT_EQ(tier("20120101", kRic01, {"042"}), 'A');
  EXPECT_EQ(tier("20120101", kRic01, {"47831"}), 'A');
}

TEST(TierPrecedence, RowOrderDecidesNotCellOrder) {
  for (const char* date : {"20120101", "20170101"}) {
    const bool late = date[3] == '7';
    const std::string b = late ? "Z99.2^^^" : "V45.11";
    const std::string c = late ? "A04.7^^^" : "008.42";
    const std::string d = late ? "A02.1^^^" : "011.00";
    EXPECT_EQ(tier(date, kRic01, {d, c, b}), 'B') << date;
    EXPECT_EQ(tier(date, kRic01, {b, d}), 'B') << date;
    EXPECT_EQ(tier(date, kRic01, {d, "", "", c}), 'C') << date;
  }
}

TEST(TierExclusion, ExcludedRowsAreSkippedAndTheSearchGoesOn) {
  // 478.31 (B) does not count for RIC 15; 008.42 (C) does.
  EXPECT_EQ(tier("20120101", kRic15, {"478.31"}), 'A');
  EXPECT_EQ(tier("20120101", kRic15, {"478.31", "008.42"}), 'C');
  EXPECT_EQ(tier("20120101", kRic14, {"478.31"}), 'B');
  // "01, 02, 03 " in 2.90 excludes RIC 03 like "01, 02, 03" does in 2.82.
  EXPECT_EQ(tier("20160101", kRic03, {"I60.00^^"}), 'A');
  EXPECT_EQ(tier("20170101", kRic03, {"I60.00^^"}), 'A');
  EXPECT_EQ(tier("20170101", kRic14, {"I60.00^^"}), 'D');
}

TEST(TierPairs, PresentButExcludedPairBarsItsCodes) {
  for (const char* date : {"20160101", "20170101"}) {
    // Pair row 1 is excluded for RIC 03: B39.4 is barred, G02 is excluded.
    EXPECT_EQ(tier(date, kRic03, {"B39.4^^^", "G02.^^^^"}), 'A') << date;
    EXPECT_EQ(tier(date, kRic01, {"B39.4^^^", "G02.^^^^"}), 'D') << date;
    EXPECT_EQ(tier(date, kRic03, {"B39.4^^^"}), 'D') << date;
    // A second code after the end marker is not seen.
    EXPECT_EQ(tier(date, kRic01, {"B39.4^^^", "^", "H32.^^^^"}), 'D') << date;
    EXPECT_EQ(tier(date, kRic01, {"H32.^^^^"}), 'A') << date;  // pair-only code
    // A single-code hit ends the search before the pairs.
    EXPECT_EQ(tier(date, kRic01, {"B39.4^^^", "G02.^^^^", "A04.7^^^"}), 'C') << date;
  }
}

TEST(TierPairs, MarksOfOneCallDoNotReachTheNext) {
  // The first call marks B39.4's secondary row; the second needs it.
  EXPECT_EQ(tier("20170101", kRic03, {"B39.4^^^", "G02.^^^^"}), 'A');
  EXPECT_EQ(tier("20170101", kRic03, {"B39.4^^^"}), 'D');
  EXPECT_EQ(tier("20160101", kRic03, {"B39.4^^^", "G02.^^^^"}), 'A');
  EXPECT_EQ(tier("20160101", kRic03, {"B39.4^^^"}), 'D');
  // The shared flag columns keep their stored values.
  for (int r = 1; r < kCmdSecondaryRows; ++r) {
    EXPECT_STREQ(CmdEflag281s2[r], "0");
    EXPECT_STREQ(CmdEflag290s2[r], "0");
  }
}

TEST(TierRows, LastRowOfEveryListTakesPart) {
  // A RIC that the row does not exclude: 01 or 14.
  auto ric_for = [](const char* rics) {
    return std::string(rics).find("01") == std::string::npos ? kRic01 : kRic14;
  };
  struct Last {
    const char* date;
    const char* code;
    const char* tierCell;
    const char* rics;
  };
  const Last lasts[] = {
      {"20100801", CmdICD240[kCmd240Rows - 1], CmdTier240[kCmd240Rows - 1],
       CmdRIC240[kCmd240Rows - 1]},
      {"20110101", CmdICD250[kCmd250Rows - 1], CmdTier250[kCmd250Rows - 1],
       CmdRIC250[kCmd250Rows - 1]},
      {"20120101", CmdICD260[kCmd260Rows - 1], CmdTier260[kCmd260Rows - 1],
       CmdRIC260[kCmd260Rows - 1]},
      {"20160101", CmdICD281s1[kCmd281s1Rows - 1], CmdTier281s1[kCmd281s1Rows - 1],
       CmdRIC281s1[kCmd281s1Rows - 1]},
      {"20170101", CmdICD290s1[kCmd290s1Rows - 1], CmdTier290s1[kCmd290s1Rows - 1],
       CmdRIC290s1[kCmd290s1Rows - 1]},
      {"20170101", CmdICD290s2[kCmdSecondaryRows - 1], CmdTier290s2[kCmdSecondaryRows - 1],
       CmdRIC290s2[kCmdSecondaryRows - 1]},
  };
  for (const Last& l : lasts) EXPECT_EQ(tier(l.date, ric_for(l.rics), {l.code}), l.tierCell[0]);
  // Pair row 63: both codes, a RIC it does not exclude.
  const int r = kCmdPairRows - 1;
  EXPECT_EQ(tier("20170101", kRic01, {CmdICD290c1[r], CmdICD290c2[r]}), CmdTier290c[r][0]);
  EXPECT_EQ(tier("20160101", kRic01, {CmdICD281c1[r], CmdICD281c2[r]}), CmdTier281c[r][0]);
}

// Many threads grouping at once get what one thread gets.
TEST(TierThreads, ConcurrentCallsMatchSequentialOnes) {
  std::vector<std::string> records;
  const char* dates[] = {"20100801", "20110101", "20120101", "20150101", "20160101", "20170101"};
  const char* rics[] = {kRic01, kRic03, kRic14, kRic15};
  const std::vector<std::vector<std::string>> codeSets = {
      {"B39.4^^^", "G02.^^^^"}, {"B39.4^^^"},
      {"478.31", "008.42"},     {"Z99.2^^^"},
      {"E11.21^^", "E11.65^^"}, {"T80.0XXA", "I26.90^^"},
      {"^", "A04.7^^^"},        {}};
  for (const char* d : dates) {
    for (const char* ric : rics) {
      for (const auto& codes : codeSets) {
        RecordBuilder b = RecordBuilder::valid().versionDate(d).impairment(ric);
        int k = 1;
        for (const auto& c : codes) b.comorbid(k++, c);
        records.push_back(b.str());
      }
    }
  }
  std::vector<std::string> expected;
  for (const auto& r : records) expected.push_back(group_record(r).cmg);

  constexpr int kThreads = 4;
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 200; ++round) {
        for (std::size_t i = 0; i < records.size(); ++i) {
          const std::size_t j = (i * 7 + t * 13 + round) % records.size();
          if (cmg290::group(records[j]).cmg != expected[j]) ++mismatches[t];
        }
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

}  // namespace
}  // namespace cmg290::test
