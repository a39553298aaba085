// The impairment table, row by row, against the list of impairment groups
// and their categories written out here independently of src/tables/: a
// code moved to another RIC, a row lost or added, or rows swapped, fails
// here rather than only in a golden output of the command.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "cmg290/cmg290.h"
#include "cmg290/tables.h"
#include "record_builder.h"

namespace cmg290::test {
namespace {

struct Category {
  const char* ric;
  std::initializer_list<const char*> codes;  // in row order
};

const Category kCategories[] = {
    {"01", {"01.1", "01.2", "01.3", "01.4", "01.9"}},
    {"02", {"02.21", "02.22"}},
    {"03", {"02.1", "02.9"}},
    {"04",
     {"04.210", "04.211", "04.212", "04.220", "04.2211", "04.2212", "04.2221", "04.2222",
      "04.230"}},
    {"05",
     {"04.110", "04.111", "04.112", "04.120", "04.1211", "04.1212", "04.1221", "04.1222",
      "04.130"}},
    {"06", {"03.1", "03.2", "03.3", "03.5", "03.8", "03.9"}},
    {"07", {"08.11", "08.12", "08.2", "08.3"}},
    {"08", {"08.51", "08.52", "08.61", "08.62", "08.71", "08.72"}},
    {"09", {"08.9"}},
    {"10", {"05.3", "05.4", "05.5", "05.6", "05.7"}},
    {"11", {"05.1", "05.2", "05.9"}},
    {"12", {"06.2"}},
    {"13", {"06.1", "06.9"}},
    {"14", {"09"}},
    {"15", {"10.1", "10.9"}},
    {"16", {"07.1", "07.2", "07.3", "07.9"}},
    {"17", {"08.4", "14.9"}},
    {"18", {"14.1", "14.2", "14.3"}},
    {"19", {"03.4"}},
    {"20",
     {"12.1", "12.9", "13", "15", "16", "17.1", "17.2", "17.31", "17.32", "17.4", "17.51", "17.52",
      "17.6", "17.7", "17.8", "17.9"}},
    {"21", {"11"}},
};

TEST(ImpairmentTable, EveryRowHoldsItsCodeAndCategory) {
  EXPECT_STREQ(Imp240[0], "  ");
  EXPECT_STREQ(Ric240[0], "  ");
  int row = 1;
  for (const Category& c : kCategories) {
    for (const char* code : c.codes) {
      ASSERT_LT(row, kImpairmentRows);
      EXPECT_STREQ(Imp240[row], code) << "row " << row;
      EXPECT_STREQ(Ric240[row], c.ric) << "row " << row << " (" << code << ")";
      ++row;
    }
  }
  EXPECT_EQ(row, kImpairmentRows) << "rows in the table but not in the list";
}

TEST(ImpairmentTable, EveryCodeGroupsIntoItsCategory) {
  // Through the whole pass: the CMG of a grouped record starts with the RIC.
  std::set<std::string> seen;
  for (const Category& c : kCategories) {
    for (const char* code : c.codes) {
      EXPECT_TRUE(seen.insert(code).second) << code << " listed twice";
      const Result r = group(RecordBuilder::valid().impairment(std::string("  ") + code).str());
      ASSERT_EQ(r.status, 0) << code;
      EXPECT_EQ(std::string(r.cmg + 1, 2), c.ric) << code;
    }
  }
}

}  // namespace
}  // namespace cmg290::test
