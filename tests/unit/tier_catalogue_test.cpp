// The catalogue of the tier lists (tier_lists.def) against what is built
// from it and what it describes: the exported columns, the committed data
// files, and the columns each table version reads.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

#include "checks/tier_validate.h"
#include "cmg290/tier_tables.h"
#include "tables/tier_catalogue.h"
#include "tiersets/set_csv.h"

namespace cmg290::tables {
namespace {

// The entry lines (ROW or PAIR) of a committed data file, counted apart
// from the catalogue; -1 when the file cannot be read.
int data_file_rows(const char* file) {
  std::ifstream in(std::filesystem::path(CMG290_SOURCE_DIR) / "src" / "tables" / "tier" / file);
  if (!in) return -1;
  int rows = 0;
  for (std::string line; std::getline(in, line);) {
    rows += line.starts_with("ROW(") || line.starts_with("PAIR(");
  }
  return rows;
}

// Every exported column (its real array type: rows and row width) has the
// rows and the widths the catalogue gives its list, and the catalogue counts
// the entries its data file holds.
TEST(TierTables, ColumnsHaveTheCataloguedRowsAndWidths) {
  const TierTables t = compiled_tier_tables();
  int columns = 0;
  for (const TierListInfo& info : kTierLists) {
    EXPECT_EQ(info.entries, data_file_rows(info.file)) << info.file;
    const auto sets = compiled_sets(info.list);
    EXPECT_EQ(sets.size(),
              info.kind == ListKind::kPair || info.kind == ListKind::kSecondary ? 2u : 1u)
        << info.file;
    for (const auto member : sets) {
      const TierList& l = t.*member;
      EXPECT_EQ(l.kind, info.kind) << l.name;
      const std::pair<const Column*, int> widths[] = {{&l.code, info.codeWidth},
                                                      {&l.code2, info.codeWidth},
                                                      {&l.tier, info.tierWidth},
                                                      {&l.rics, info.ricsWidth},
                                                      {&l.eflag, info.tierWidth}};
      for (const auto& [c, width] : widths) {
        if (!c->present()) continue;
        ++columns;
        EXPECT_EQ(c->rows, info.rows()) << c->name;
        EXPECT_EQ(c->width, width) << c->name;
      }
      EXPECT_EQ(l.code2.present(), info.kind == ListKind::kPair) << l.name;
      EXPECT_EQ(l.eflag.present(), info.kind == ListKind::kSecondary) << l.name;
    }
  }
  EXPECT_EQ(columns, 31);
  // The public row counts are the catalogue's.
  EXPECT_EQ(kCmd240Rows, tier_list(TierSetList::Single240).rows());
  EXPECT_EQ(kCmd290s1Rows, tier_list(TierSetList::Single290).rows());
  EXPECT_EQ(kCmdPairRows, tier_list(TierSetList::Pair).rows());
  EXPECT_EQ(kCmdSecondaryRows, tier_list(TierSetList::Secondary).rows());
  EXPECT_EQ(sizeof CmdEflag290s2,
            sizeof(char) * kCmdSecondaryRows * cmg290::tier_widths::kSecondaryTier);
}

// Each version reads the columns of the list the catalogue gives it, and the
// versions of 2.82 on the pair and secondary columns named for them.
TEST(TierTables, EachVersionReadsItsOwnColumns) {
  using detail::TableVersion;
  const TierTables t = compiled_tier_tables();
  const struct {
    TableVersion version;
    const char* single;
    const char* pairs;
    const char* secondary;
  } cases[] = {
      {TableVersion::V240, "CmdICD240", nullptr, nullptr},
      {TableVersion::V250, "CmdICD250", nullptr, nullptr},
      {TableVersion::V260, "CmdICD260", nullptr, nullptr},
      {TableVersion::V270, "CmdICD260", nullptr, nullptr},
      {TableVersion::V282, "CmdICD281s1", "CmdICD281c1", "CmdICD281s2"},
      {TableVersion::V290, "CmdICD290s1", "CmdICD290c1", "CmdICD290s2"},
  };
  ASSERT_EQ(std::size(cases), std::size(detail::kTableVersions));
  for (const auto& c : cases) {
    const VersionLists& lists = lists_of(c.version);
    EXPECT_STREQ(compiled_list(t, lists.single, c.version).code.name, c.single);
    EXPECT_EQ(lists.pairStage, c.pairs != nullptr) << c.single;
    if (c.pairs == nullptr) continue;
    EXPECT_STREQ(compiled_list(t, TierSetList::Pair, c.version).code.name, c.pairs);
    EXPECT_STREQ(compiled_list(t, TierSetList::Secondary, c.version).code.name, c.secondary);
  }
  EXPECT_EQ(version_of_label("2.70"), TableVersion::V270);
  EXPECT_EQ(version_of_label("2.7"), TableVersion::None);
  EXPECT_EQ(version_of_label("2.900"), TableVersion::None);
}

// A loaded set's excluded-RIC texts are held to what the compiled cells of
// lists of their kind hold.
TEST(TierCatalogue, ExcludedRicTextsFitTheCompiledCells) {
  using tiersets::max_rics_chars;
  EXPECT_EQ(max_rics_chars(ListKind::kEarlySingle), sizeof CmdRIC240[0] - 1);
  EXPECT_EQ(max_rics_chars(ListKind::kLateSingle), sizeof CmdRIC290s1[0] - 1);
  EXPECT_EQ(max_rics_chars(ListKind::kPair), sizeof CmdRIC290c[0] - 1);
  EXPECT_EQ(max_rics_chars(ListKind::kSecondary), sizeof CmdRIC290s2[0] - 1);
  std::string rics, reason;
  EXPECT_TRUE(tiersets::normalize_rics("1,2,3,5,6,8", ListKind::kEarlySingle, rics, reason));
  EXPECT_EQ(rics, "01,02,03,05,06,08");
  EXPECT_FALSE(tiersets::normalize_rics("1,2,3,5,6,8,9", ListKind::kEarlySingle, rics, reason));
  EXPECT_TRUE(tiersets::normalize_rics("1,2,3,5,6 ", ListKind::kLateSingle, rics, reason));
  EXPECT_EQ(rics, "01, 02, 03, 05, 06 ");
  EXPECT_FALSE(tiersets::normalize_rics("1,2,3,5,6,8", ListKind::kLateSingle, rics, reason));
}

}  // namespace
}  // namespace cmg290::tables
