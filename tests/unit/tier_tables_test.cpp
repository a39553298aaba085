// Comorbidity tier tables: the compiled columns, and the checks that tell
// whether a set of lists (such as replaced official lists) fits.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "checks/tier_check.h"
#include "checks/tier_validate.h"
#include "cmg290/tier_tables.h"

namespace cmg290::tables {
namespace {

// ---------------------------------------------------------------------------
// The compiled tables

TEST(TierTables, CompiledTablesPassEveryCheck) {
  const std::vector<std::string> violations = check_tier_tables(compiled_tier_tables());
  for (const std::string& v : violations) ADD_FAILURE() << v;
}

TEST(TierTables, EveryCellIsTerminatedAndZeroPadded) {
  const TierTables t = compiled_tier_tables();
  for (const TierList* l : {&t.list240, &t.list250, &t.list260, &t.list282s1, &t.list290s1,
                            &t.list282c, &t.list290c, &t.list282s2, &t.list290s2}) {
    for (const Column* c : {&l->code, &l->code2, &l->tier, &l->rics, &l->eflag}) {
      if (!c->present()) continue;
      for (int r = 0; r < c->rows; ++r) {
        const char* p = c->cell(r);
        const std::size_t length = strnlen(p, static_cast<std::size_t>(c->width));
        ASSERT_LT(length, static_cast<std::size_t>(c->width)) << c->name << " row " << r;
        for (std::size_t k = length; k < static_cast<std::size_t>(c->width); ++k) {
          ASSERT_EQ(p[k], '\0') << c->name << " row " << r << " byte " << k;
        }
      }
    }
  }
}

TEST(TierTables, RowZeroIsBlank) {
  EXPECT_STREQ(CmdICD240[0], " ");
  EXPECT_STREQ(CmdTier250[0], " ");
  EXPECT_STREQ(CmdRIC260[0], " ");
  EXPECT_STREQ(CmdICD281s1[0], "        ");
  EXPECT_STREQ(CmdRIC281s1[0], " ");
  EXPECT_STREQ(CmdRIC290s1[0], "  ");
  EXPECT_STREQ(CmdICD290c2[0], "        ");
  EXPECT_STREQ(CmdEflag281s2[0], " ");
  EXPECT_STREQ(CmdEflag290s2[0], " ");
}

TEST(TierTables, NamedRowsStandAtTheirRows) {
  // Group boundaries of the early lists: last B, first C, last C, first D.
  for (const auto* icd : {CmdICD240, CmdICD250, CmdICD260}) {
    EXPECT_STREQ(icd[1], "478.31");
    EXPECT_STREQ(icd[8], "V55.0");
    EXPECT_STREQ(icd[9], "008.42");
    EXPECT_STREQ(icd[19], "787.29");
    EXPECT_STREQ(icd[20], "011.00");
    EXPECT_STREQ(icd[22], "011.02");
  }
  EXPECT_STREQ(CmdTier240[8], "B");
  EXPECT_STREQ(CmdTier250[19], "C");
  EXPECT_STREQ(CmdTier260[20], "D");
  EXPECT_STREQ(CmdRIC240[20], "15");

  EXPECT_STREQ(CmdICD240[944], "998.6");
  EXPECT_STREQ(CmdRIC240[945], "03");
  EXPECT_STREQ(CmdICD240[946], "999.31");
  EXPECT_STREQ(CmdICD250[951], "999.31");
  EXPECT_STREQ(CmdICD260[965], "999.31");
  EXPECT_STREQ(CmdICD260[967], "999.33");

  for (const auto* icd : {CmdICD281s1, CmdICD290s1}) {
    EXPECT_STREQ(icd[1], "J38.01^^");
    EXPECT_STREQ(icd[6], "Z99.2^^^");
    EXPECT_STREQ(icd[7], "A04.7^^^");
    EXPECT_STREQ(icd[23], "R13.19^^");
    EXPECT_STREQ(icd[24], "A02.1^^^");
    EXPECT_STREQ(icd[26], "A15.4^^^");
  }
  EXPECT_STREQ(CmdTier281s1[24], "D");
  EXPECT_STREQ(CmdICD281s1[1002], "T87.44^^");
  EXPECT_STREQ(CmdICD290s1[1156], "T87.44^^");
  EXPECT_STREQ(CmdRIC290s1[1156], "09, 10, 11");

  EXPECT_STREQ(CmdICD281c1[63], "T82.818A");
  EXPECT_STREQ(CmdICD290c2[63], "I26.99^^");
  EXPECT_STREQ(CmdICD290s2[48], "T80.0XXA");
  EXPECT_STREQ(CmdRIC281s2[48], "03");
  EXPECT_STREQ(CmdEflag290s2[48], "0");
}

// ---------------------------------------------------------------------------
// The checks catch faults seeded into a copy of one column

class MutableColumn {
 public:
  explicit MutableColumn(const Column& c)
      : bytes_(c.cells, c.cells + static_cast<std::size_t>(c.rows) * c.width), view_(c) {
    view_.cells = bytes_.data();
  }
  char* cell(int row) { return bytes_.data() + static_cast<std::size_t>(row) * view_.width; }
  void set(int row, std::string_view text) {
    std::memset(cell(row), 0, static_cast<std::size_t>(view_.width));
    std::memcpy(cell(row), text.data(), text.size());
  }
  const Column& view() const { return view_; }

 private:
  std::vector<char> bytes_;
  Column view_;
};

using Mutation = std::function<void(MutableColumn&)>;

// The violations reported when one column of one list is replaced by a
// mutated copy.
std::vector<std::string> check_mutated(TierList TierTables::*list, Column TierList::*column,
                                       const Mutation& mutate) {
  TierTables t = compiled_tier_tables();
  MutableColumn copy(t.*list.*column);
  mutate(copy);
  (t.*list).*column = copy.view();
  return check_tier_tables(t);
}

testing::AssertionResult Reports(const std::vector<std::string>& violations,
                                 std::string_view expected) {
  for (const std::string& v : violations) {
    if (v.find(expected) != std::string::npos) return testing::AssertionSuccess();
  }
  auto failure = testing::AssertionFailure() << "no violation contains \"" << expected << "\"; got";
  for (const std::string& v : violations) failure << "\n  " << v;
  if (violations.empty()) failure << " none";
  return failure;
}

TEST(TierTableChecks, CellBytes) {
  EXPECT_TRUE(Reports(check_mutated(&TierTables::list240, &TierList::code,
                                    [](MutableColumn& c) { c.cell(500)[7] = 'x'; }),
                      "list 240 row 500: CmdICD240 byte 7 after the terminator is not zero"));
  EXPECT_TRUE(Reports(check_mutated(&TierTables::list282s2, &TierList::tier,
                                    [](MutableColumn& c) { std::memset(c.cell(3), 'D', 3); }),
                      "list 281s2 row 3: CmdTier281s2 has no terminating zero"));
  EXPECT_TRUE(Reports(check_mutated(&TierTables::list290s1, &TierList::rics,
                                    [](MutableColumn& c) { c.set(0, " "); }),
                      "list 290s1 row 0: CmdRIC290s1 holds \" \", expected \"  \""));
}

TEST(TierTableChecks, ShapeOfAColumn) {
  TierTables t = compiled_tier_tables();
  t.list250.tier.rows = 951;
  EXPECT_TRUE(Reports(check_tier_tables(t),
                      "list 250: CmdTier250 has 951 rows of 2 bytes, expected 952 rows of 2"));
  t = compiled_tier_tables();
  t.list282s2.eflag = {};
  EXPECT_TRUE(Reports(check_tier_tables(t), "list 281s2: has no Eflag column"));
}

TEST(TierTableChecks, Formats) {
  // An early code beginning with "E", a late code without its "^" fill, a
  // tier letter "A", blanks inside an early list, a late list without them,
  // a RIC no list excludes, a set Eflag.
  EXPECT_TRUE(Reports(check_mutated(&TierTables::list260, &TierList::code,
                                    [](MutableColumn& c) { c.set(400, "E888.1"); }),
                      "list 260 row 400: CmdICD260 \"E888.1\" is not an ICD-9-CM code"));
  EXPECT_TRUE(Reports(check_mutated(&TierTables::list282s1, &TierList::code,
                                    [](MutableColumn& c) { c.set(3, "J38.4"); }),
                      "list 281s1 row 3: CmdICD281s1 \"J38.4\" is not an ICD-10-CM code"));
  EXPECT_TRUE(Reports(check_mutated(&TierTables::list240, &TierList::tier,
                                    [](MutableColumn& c) { c.set(300, "A"); }),
                      "list 240 row 300: CmdTier240 \"A\" is not \"B\", \"C\" or \"D\""));
  EXPECT_TRUE(Reports(check_mutated(&TierTables::list240, &TierList::rics,
                                    [](MutableColumn& c) { c.set(300, "03, 05"); }),
                      "is neither \" \" nor RICs separated by \",\""));
  EXPECT_TRUE(Reports(check_mutated(&TierTables::list290c, &TierList::rics,
                                    [](MutableColumn& c) { c.set(1, "03,05"); }),
                      "list 290c row 1: CmdRIC290c \"03,05\" is neither"));
  EXPECT_TRUE(Reports(check_mutated(&TierTables::list290s1, &TierList::rics,
                                    [](MutableColumn& c) { c.set(1, "04"); }),
                      "list 290s1 row 1: excludes RIC \"04\", which the documented lists never "
                      "exclude (they exclude 01, 02, 03, 05, 06, 08, 09, 10, 11, 14 and 15)"));
  EXPECT_TRUE(Reports(check_mutated(&TierTables::list290s1, &TierList::rics,
                                    [](MutableColumn& c) { c.set(1, "50"); }),
                      "list 290s1 row 1: CmdRIC290s1 \"50\" names RIC \"50\", which the grouper "
                      "never assigns"));
  EXPECT_TRUE(Reports(check_mutated(&TierTables::list290s2, &TierList::eflag,
                                    [](MutableColumn& c) { c.set(7, "1"); }),
                      "list 290s2 row 7: CmdEflag290s2 \"1\", expected \"0\""));
}

TEST(TierTableChecks, OrderAndDuplicates) {
  EXPECT_TRUE(Reports(check_mutated(&TierTables::list240, &TierList::code,
                                    [](MutableColumn& c) {
                                      std::string a = c.cell(100), b = c.cell(101);
                                      c.set(100, b);
                                      c.set(101, a);
                                    }),
                      "list 240 row 101: code"));
  EXPECT_TRUE(Reports(check_mutated(&TierTables::list290s1, &TierList::code,
                                    [](MutableColumn& c) { c.set(601, std::string(c.cell(600))); }),
                      "list 290s1 row 601: code"));
  EXPECT_TRUE(Reports(check_mutated(&TierTables::list282s1, &TierList::tier,
                                    [](MutableColumn& c) { c.set(500, "B"); }),
                      "list 281s1 row 500: tier \"B\" follows tier \"D\""));
}

TEST(TierTableChecks, FixedRowsAndThreeCharacterCodes) {
  EXPECT_TRUE(
      Reports(check_mutated(&TierTables::list250, &TierList::rics,
                            [](MutableColumn& c) { c.set(12, " "); }),
              "list 250 row 12: holds \"438.82\" \"C\" \"\", expected \"438.82\" \"C\" \"01\""));
  EXPECT_TRUE(Reports(check_mutated(&TierTables::list260, &TierList::code,
                                    [](MutableColumn& c) { c.set(967, "999.4"); }),
                      "list 260 row 967: code \"999.4\" comes after \"999.31\", among the last D "
                      "entries"));
  // Drop the "." of "042." and the list misses one of its three-character
  // codes; a late list with one category fewer is counted short.
  int row042 = 0;
  for (int r = 1; r < kCmd240Rows; ++r)
    row042 = std::string_view(CmdICD240[r]) == "042." ? r : row042;
  ASSERT_NE(row042, 0);
  EXPECT_TRUE(Reports(check_mutated(&TierTables::list240, &TierList::code,
                                    [&](MutableColumn& c) { c.set(row042, "042.1"); }),
                      "list 240: three-character code \"042.\" is missing"));
  int rowA35 = 0;
  for (int r = 1; r < kCmd290s1Rows; ++r)
    rowA35 = std::string_view(CmdICD290s1[r]) == "A35.^^^^" ? r : rowA35;
  ASSERT_NE(rowA35, 0);
  const auto violations = check_mutated(&TierTables::list290s1, &TierList::code,
                                        [&](MutableColumn& c) { c.set(rowA35, "A35.9^^^"); });
  EXPECT_TRUE(Reports(violations, "list 290s1: holds 19 three-character categories, expected 20"));
  EXPECT_TRUE(Reports(violations, "list 290s1: three-character category \"A35.^^^^\" is missing"));
}

TEST(TierTableChecks, ExcludedRicCounts) {
  // One synthetic D entry of 2.40 moved from "15" to "03": both counts are
  // off by one, and 2.50 no longer agrees with 2.40 on that entry.
  int row = 0;
  for (int r = 100; r < kCmd240Rows && row == 0; ++r)
    row = std::string_view(CmdRIC240[r]) == "15" ? r : 0;
  ASSERT_NE(row, 0);
  const auto violations = check_mutated(&TierTables::list240, &TierList::rics,
                                        [&](MutableColumn& c) { c.set(row, "03"); });
  EXPECT_TRUE(Reports(
      violations, "list 240: excluded-RIC list \"15\" is carried by 201 entries, expected 202"));
  EXPECT_TRUE(Reports(violations,
                      "list 240: excluded-RIC list \"03\" is carried by 65 entries, expected 64"));
  EXPECT_TRUE(Reports(violations, "excludes \"15\" here but \"03\" in list 240"));
}

TEST(TierTableChecks, VersionDifferences) {
  // 2.50 keeps a code that it drops; 2.60 loses one that it shares; one of
  // the ten I60 entries of 2.90 no longer excludes RIC 03.
  EXPECT_TRUE(
      Reports(check_mutated(&TierTables::list250, &TierList::code,
                            [](MutableColumn& c) { c.set(500, "488.0"); }),
              "list 250 row 500: code \"488.0\" must not be listed (dropped after list 240)"));
  int row = 0;
  for (int r = 100; r < kCmd260Rows && row == 0; ++r)
    row = std::string_view(CmdRIC260[r]) == " " ? r : 0;
  ASSERT_NE(row, 0);
  const std::string lost = CmdICD260[row];
  EXPECT_TRUE(Reports(check_mutated(&TierTables::list260, &TierList::code,
                                    [&](MutableColumn& c) { c.set(row, lost + "9"); }),
                      "code \"" + lost + "\" is missing from list 260, which does not drop it"));
  int i60 = 0;
  for (int r = 1; r < kCmd290s1Rows; ++r)
    i60 = std::string_view(CmdICD290s1[r]) == "I60.4^^^" ? r : i60;
  ASSERT_NE(i60, 0);
  EXPECT_TRUE(Reports(
      check_mutated(&TierTables::list290s1, &TierList::rics,
                    [&](MutableColumn& c) { c.set(i60, "01, 02"); }),
      "list 290s1 row " + std::to_string(i60) + ": code \"I60.4^^^\" must carry \"01, 02, 03\""));
}

// The checks compare the RICs a list names, as the searches see them, not
// its text: the trailing blank of the ten I60 entries of 2.90, and the order
// of the RICs, change nothing. A list that names other RICs still fails.
TEST(TierTableChecks, ExcludedRicListsCompareByTheRicsNamed) {
  EXPECT_EQ(tier_check::ric_set("01, 02, 03 ", true), "01, 02, 03");
  EXPECT_EQ(tier_check::ric_set("03, 01, 02", true), "01, 02, 03");
  EXPECT_EQ(tier_check::ric_set("05,03", false), "03,05");
  EXPECT_EQ(tier_check::ric_set(" ", true), " ");
  // Not a list of RICs: kept as it is, so that it matches nothing else.
  EXPECT_EQ(tier_check::ric_set("01,02", true), "01,02");
  EXPECT_EQ(tier_check::ric_set("01, 01", true), "01, 01");
  EXPECT_EQ(tier_check::ric_set("03 ", false), "03 ");
  EXPECT_FALSE(tier_check::same_rics("01, 02", "01, 02, 03", true));

  std::vector<int> i60Rows;
  for (int r = 1; r < kCmd290s1Rows; ++r) {
    if (std::string_view(CmdICD290s1[r]).starts_with("I60.") &&
        std::string_view(CmdRIC290s1[r]) == "01, 02, 03 ")
      i60Rows.push_back(r);
  }
  ASSERT_EQ(i60Rows.size(), 10u);
  for (const char* form : {"01, 02, 03", "03, 02, 01 ", "02, 01, 03"}) {
    const auto violations =
        check_mutated(&TierTables::list290s1, &TierList::rics, [&](MutableColumn& c) {
          for (const int r : i60Rows) c.set(r, form);
        });
    for (const std::string& v : violations) ADD_FAILURE() << form << ": " << v;
  }
  // A fixed row and a pair row written in another order; a 2.82 entry with a
  // trailing blank.
  EXPECT_TRUE(check_mutated(&TierTables::list290s1, &TierList::rics, [](MutableColumn& c) {
                c.set(1156, "11, 10, 09");
              }).empty());
  // The pair lists of both versions come from one file and must still agree
  // byte for byte.
  EXPECT_EQ(check_mutated(&TierTables::list282c, &TierList::rics,
                          [](MutableColumn& c) { c.set(1, "05, 03"); }),
            std::vector<std::string>{"list 290c row 1: CmdRIC290c differs from CmdRIC281c"});
  EXPECT_TRUE(check_mutated(&TierTables::list282s1, &TierList::rics, [](MutableColumn& c) {
                c.set(1, "15 ");
              }).empty());
  // Other RICs are still counted and compared: one I60 entry of 2.90 that
  // names 01 and 02 only.
  const auto fewer = check_mutated(&TierTables::list290s1, &TierList::rics,
                                   [&](MutableColumn& c) { c.set(i60Rows[0], "01, 02"); });
  EXPECT_TRUE(Reports(
      fewer, "list 290s1: excluded-RIC list \"01, 02, 03\" is carried by 31 entries, expected 32"));
  EXPECT_TRUE(Reports(
      fewer, "list 290s1: excluded-RIC list \"01, 02\" is carried by 1 entry, expected none"));
}

TEST(TierTableChecks, PairAndSecondaryLists) {
  // The 2.90 pair list drifts from the 2.82 one; a pair code enters a
  // single-code list; a secondary code that no pair holds.
  const auto drift = check_mutated(&TierTables::list290c, &TierList::code2,
                                   [](MutableColumn& c) { c.set(5, "G03.9^^^"); });
  EXPECT_TRUE(Reports(drift, "list 290c row 5: CmdICD290c2 differs from CmdICD281c2"));
  EXPECT_TRUE(Reports(drift, "list 290c row 5: holds \"B39.5^^^\" \"G03.9^^^\""));
  EXPECT_TRUE(Reports(check_mutated(&TierTables::list282s1, &TierList::code,
                                    [](MutableColumn& c) { c.set(300, "K56.60^^"); }),
                      "list 281s1 row 300: code \"K56.60^^\" also occurs in list 281c"));
  EXPECT_TRUE(Reports(check_mutated(&TierTables::list282s2, &TierList::code,
                                    [](MutableColumn& c) { c.set(48, "T80.1XXA"); }),
                      "list 281s2 row 48: code \"T80.1XXA\" occurs in no entry of list 281c"));
}

}  // namespace
}  // namespace cmg290::tables
