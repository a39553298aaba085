// The excluded-RIC test of the tier lists, and its bit-mask form used by the
// indexes.
#include <gtest/gtest.h>

#include "grouper/ric_exclusion.h"

namespace cmg290::detail {
namespace {

TEST(RicExclusion, PiecesAreWholeRicTexts) {
  EXPECT_FALSE(ric_excluded_plain(" ", "01"));
  EXPECT_FALSE(ric_excluded_plain(" 01", "01"));  // a leading blank: nothing
  EXPECT_TRUE(ric_excluded_plain("03,05", "03"));
  EXPECT_TRUE(ric_excluded_plain("03,05", "05"));
  EXPECT_FALSE(ric_excluded_plain("03,05", "0"));
  EXPECT_FALSE(ric_excluded_plain("03,05", "04"));
  EXPECT_FALSE(ric_excluded_plain("003", "03"));
  EXPECT_TRUE(ric_excluded_plain(",,09,,", "09"));  // empty pieces are dropped
  EXPECT_FALSE(ric_excluded_plain(",", "01"));
  // The plain variant keeps blanks, the blank-free one drops them.
  EXPECT_FALSE(ric_excluded_plain("03, 05", "05"));
  EXPECT_TRUE(ric_excluded_blank_free("03, 05", "05"));
  EXPECT_TRUE(ric_excluded_blank_free("01, 02, 03 ", "03"));
  EXPECT_FALSE(ric_excluded_blank_free("01, 02, 03 ", "04"));
}

TEST(RicExclusion, MaskAgreesWithTheTextTest) {
  const char* lists[] = {" ",   "15",   "03,05", "09,10,11", "01, 02, 03 ", "03, 05",
                         "0 1", ",01,", "1",     "001",      "21,",         "99,64,63"};
  for (const char* list : lists) {
    for (bool blankFree : {false, true}) {
      const unsigned long long mask = ric_exclusion_mask(list, blankFree);
      for (int n = 0; n < 64; ++n) {
        const char ric[3] = {char('0' + n / 10), char('0' + n % 10), '\0'};
        EXPECT_EQ(((mask >> n) & 1) != 0, ric_excluded(list, ric, blankFree))
            << '"' << list << "\" RIC " << ric;
      }
    }
  }
}

}  // namespace
}  // namespace cmg290::detail
