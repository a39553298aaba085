// The pass's indexed tier search against the explanation's row-by-row walk,
// on generated code lists written into records: codes from every list, near
// misses, "^" markers, every RIC.
#include <gtest/gtest.h>

#include "cmg290/tier_tables.h"
#include "tier_generator.h"
#include "tier_record.h"

namespace cmg290::test {
namespace {

using detail::ComorbidCodeList;
using detail::TableVersion;

void compare_version(TableVersion version, unsigned seed) {
  ListGenerator gen(version, seed);
  const int records = records_per_version();
  int differences = 0, tiered = 0;
  ComorbidCodeList list;
  for (int i = 0; i < records; ++i) {
    gen.fill(list);
    const int ricNumber = 1 + gen.pick(21);
    const char ric[3] = {char('0' + ricNumber / 10), char('0' + ricNumber % 10), '\0'};
    const std::string record = record_of_cells(list);
    const char expected = walked_letter(version, ric, record);
    const char actual = searched_letter(version, ric, record);
    tiered += expected != 'A';
    if (expected != actual && ++differences <= 5) {
      std::string cells;
      for (const auto& c : list.cell) cells += std::string("[") + c + "]";
      ADD_FAILURE() << "RIC " << ric << " walked " << expected << " searched " << actual << ' '
                    << cells;
    }
  }
  EXPECT_EQ(differences, 0);
  // The generator must exercise the lists, not just give "A".
  EXPECT_GT(tiered, records / 5);
}

TEST(TierDifferential, Version240) {
  compare_version(TableVersion::V240, 240);
}
TEST(TierDifferential, Version250) {
  compare_version(TableVersion::V250, 250);
}
TEST(TierDifferential, Version260) {
  compare_version(TableVersion::V260, 260);
}
TEST(TierDifferential, Version270) {
  compare_version(TableVersion::V270, 270);
}
TEST(TierDifferential, Version282) {
  compare_version(TableVersion::V282, 282);
}
TEST(TierDifferential, Version290) {
  compare_version(TableVersion::V290, 290);
}

}  // namespace
}  // namespace cmg290::test
