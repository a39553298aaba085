// The pass's indexed tier search against the explanation's row-by-row walk,
// on generated code lists written into records: codes from every list, near
// misses, "^" markers, every RIC.
#include <gtest/gtest.h>

#include "cmg290/tier_tables.h"
#include "tier_generator.h"
#include "tier_record.h"
#include "unit/differential_versions.h"

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

// Seeded with the version's number (240, ..., 290).
class TierDifferential : public testing::TestWithParam<detail::TableVersionInfo> {};

TEST_P(TierDifferential, Version) {
  compare_version(GetParam().id, version_number(GetParam()));
}
CMG290_FOR_EACH_TABLE_VERSION(TierDifferential);

}  // namespace
}  // namespace cmg290::test
