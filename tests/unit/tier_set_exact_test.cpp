// Grouping with a loaded tier-table set: the compiled-in set written out and
// loaded back groups byte for byte as the compiled-in path does; a set with
// changed codes, tiers and excluded-RIC lists groups as the row-by-row walk
// over its own lists does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "cmg290/explain.h"
#include "cmg290/tables.h"
#include "cmg290/tier_set.h"
#include "record_builder.h"
#include "tier_generator.h"
#include "tier_record.h"
#include "tier_set_files.h"
#include "tiersets/set_csv.h"

namespace cmg290::test {
namespace {

struct VersionCase {
  TableVersion version;
  const char* date;
};
constexpr VersionCase kVersions[] = {
    {TableVersion::V240, "20100801"}, {TableVersion::V250, "20110101"},
    {TableVersion::V260, "20120601"}, {TableVersion::V270, "20150101"},
    {TableVersion::V282, "20160301"}, {TableVersion::V290, "20190101"}};

// Whole records around generated code lists: every impairment group (so
// every RIC), now and then a record the checks reject; `extra` codes go into
// a random cell of every third record.
class RecordMaker {
 public:
  RecordMaker(TableVersion v, const char* date, unsigned seed, std::vector<std::string> extra = {})
      : gen_(v, seed), date_(date), extra_(std::move(extra)) {}

  std::string next() {
    gen_.fill(list_);
    if (!extra_.empty() && gen_.pick(3) == 0) {
      const std::string& code = extra_[gen_.pick(static_cast<int>(extra_.size()))];
      char* cell = list_.cell[gen_.pick(25)];
      std::memset(cell, 0, 9);
      std::memcpy(cell, code.data(), std::min<std::size_t>(8, code.size()));
    }
    RecordBuilder b = RecordBuilder::valid().versionDate(date_);
    b.impairment(std::string("  ") + Imp240[1 + gen_.pick(kImpairmentRows - 1)]);
    if (gen_.pick(50) == 0) b.id("IRF-PAJ");
    for (int k = 0; k < 25; ++k) b.comorbid(k + 1, list_.cell[k]);
    return b.str();
  }

 private:
  ListGenerator gen_;
  ComorbidCodeList list_;
  const char* date_;
  std::vector<std::string> extra_;
};

::testing::AssertionResult same_result(const Result& a, const Result& b) {
  if (a.status == b.status && std::strcmp(a.cmg, b.cmg) == 0 &&
      std::strcmp(a.motorScore, b.motorScore) == 0 && a.cognitiveScore == b.cognitiveScore &&
      a.age == b.age && std::strcmp(a.tableVersion, b.tableVersion) == 0 &&
      std::strcmp(a.grouperVersion, b.grouperVersion) == 0) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "status " << a.status << " vs " << b.status << ", cmg \""
                                       << a.cmg << "\" vs \"" << b.cmg << "\"";
}

TEST(TierSetExact, WrittenCompiledSetGroupsAsTheCompiledInPath) {
  SetDir dir;
  dir.write_compiled();
  std::vector<TierSetProblem> problems;
  const auto set = dir.load(problems);
  ASSERT_NE(set, nullptr) << problems_text(problems);
  for (const VersionCase& v : kVersions) {
    RecordMaker maker(v.version, v.date, 1000 + static_cast<unsigned>(v.version));
    int differences = 0, tiered = 0;
    for (int i = 0; i < records_per_version(); ++i) {
      const std::string record = maker.next();
      const Result compiled = group(record);
      const Result loaded = group(record, *set);
      tiered += compiled.status == 0 && compiled.cmg[0] != 'A';
      if (!same_result(compiled, loaded) && ++differences <= 5) {
        ADD_FAILURE() << v.date << ": " << same_result(compiled, loaded).message();
      }
      // Result is plain data: the bytes agree too, padding aside.
      ASSERT_EQ(std::memcmp(compiled.cmg, loaded.cmg, sizeof compiled.cmg), 0);
    }
    EXPECT_EQ(differences, 0) << v.date;
    EXPECT_GT(tiered, records_per_version() / 5) << v.date;
  }
}

// The compiled-in lists changed: in every single-code list some D entries
// move to tier C, some get other excluded RICs and some other codes (new
// codes no list holds); in the pair list some rows change tier and RICs;
// in the secondary list some RICs change.
std::vector<std::string> change_lists(const SetDir& dir) {
  using tiersets::CsvEntry;
  using tiersets::ListKind;
  std::mt19937 rng(25);
  auto pick = [&](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng);
  };
  std::vector<std::string> newCodes;
  const struct {
    const char* file;
    ListKind kind;
  } files[] = {
      {"single-2.40.csv", ListKind::kEarlySingle}, {"single-2.50.csv", ListKind::kEarlySingle},
      {"single-2.60.csv", ListKind::kEarlySingle}, {"single-2.82.csv", ListKind::kLateSingle},
      {"single-2.90.csv", ListKind::kLateSingle},  {"pair.csv", ListKind::kPair},
      {"secondary.csv", ListKind::kSecondary}};
  int fresh = 0;
  for (const auto& f : files) {
    std::vector<tiersets::CsvError> errors;
    std::vector<CsvEntry> entries = tiersets::read_csv(dir.read(f.file), f.kind, true, errors);
    EXPECT_TRUE(errors.empty()) << f.file;
    const bool early = f.kind == ListKind::kEarlySingle;
    const char* ricLists[] = {
        "", "01", "03", "15", early ? "01,02" : "01, 02", early ? "05,06,09" : "05, 06, 09 "};
    for (int k = 0; k < 40; ++k) {
      CsvEntry& e = entries[pick(entries.size())];
      e.rics = ricLists[pick(6)];
      if (e.rics.empty()) e.rics = " ";
      if (f.kind == ListKind::kSecondary) continue;
      if (k % 4 == 0) e.tier = k % 8 == 0 ? "C" : "B";
      if (f.kind == ListKind::kPair || k % 3 != 0) continue;
      // A code of the right form that none of the lists holds.
      ++fresh;
      e.code = early ? "9" + std::to_string(10 + fresh % 80) + "." + std::to_string(fresh % 97)
                     : "Q" + std::to_string(10 + fresh % 80) + "." + std::to_string(fresh) + "^";
      e.code.resize(early ? e.code.size() : 8, '^');
      newCodes.push_back(e.code);
    }
    // Back into the order of the list (B, C, D; codes ascending).
    std::string csv = tiersets::write_csv(entries, f.kind);
    entries = tiersets::read_csv(csv, f.kind, true, errors);
    dir.write(f.file, tiersets::write_csv(entries, f.kind));
  }
  return newCodes;
}

TEST(TierSetExact, ChangedSetGroupsAsTheRowWalkOverItsLists) {
  SetDir dir;
  dir.write_compiled();
  const std::vector<std::string> newCodes = change_lists(dir);
  std::vector<TierSetProblem> problems;
  EXPECT_EQ(dir.load(problems), nullptr) << "the changes deviate from the documented contents";
  problems.clear();
  const auto set = dir.load(problems, true);
  ASSERT_NE(set, nullptr) << problems_text(problems);
  EXPECT_NE(set->digest(), TierSet::compiled()->digest());

  const int records = std::max(1, records_per_version() / 5);
  for (const VersionCase& v : kVersions) {
    RecordMaker maker(v.version, v.date, 2000 + static_cast<unsigned>(v.version), newCodes);
    int differences = 0, changed = 0, placeholders = 0;
    for (int i = 0; i < records; ++i) {
      const std::string record = maker.next();
      TierSource source;
      const Result searched = group(record, *set, source);
      const Explanation walked = explain(record, *set);
      changed += std::strcmp(searched.cmg, group(record).cmg) != 0;
      if (!same_result(searched, walked.result) && ++differences <= 5) {
        ADD_FAILURE() << v.date << ": " << same_result(searched, walked.result).message();
      }
      // The row the search names is the row the walk decided by.
      const bool decided = walked.tier && walked.tier->decision;
      ASSERT_EQ(source.row, decided ? walked.tier->decision->row : 0) << v.date;
      if (decided) {
        const TierList list = walked.tier->decision->list;
        ASSERT_EQ(list == TierList::Pair, source.list == TierSetList::Pair) << v.date;
        ASSERT_EQ(list == TierList::Secondary, source.list == TierSetList::Secondary) << v.date;
        ASSERT_EQ(source.placeholder, set->is_placeholder(source.list, source.row));
        placeholders += source.placeholder;
      }
    }
    EXPECT_EQ(differences, 0) << v.date;
    // The changes must show in the results, or the comparison proves little.
    EXPECT_GT(changed, records / 50) << v.date;
    EXPECT_GT(placeholders, 0) << v.date;
  }
}

TEST(TierSetExact, ExplanationOverASetNamesItsFiles) {
  SetDir dir;
  dir.write_compiled();
  std::vector<TierSetProblem> problems;
  const auto set = dir.load(problems);
  ASSERT_NE(set, nullptr) << problems_text(problems);
  const std::string record = RecordBuilder::valid()
                                 .versionDate("20190101")
                                 .comorbid(3, "B39.4^^^")
                                 .comorbid(7, "H32.^^^^");
  const Explanation e = explain(record, *set);
  ASSERT_TRUE(e.tier.has_value());
  ASSERT_EQ(e.tier->lists.size(), 2u);
  EXPECT_EQ(e.tier->lists[0].name, "single-2.90.csv");
  EXPECT_EQ(e.tier->lists[1].name, "pair.csv");
  ASSERT_TRUE(e.tier->decision.has_value());
  EXPECT_EQ(e.tier->decision->list, TierList::Pair);
  EXPECT_EQ(e.tier->decision->row, 2);
  EXPECT_FALSE(set->is_placeholder(TierSetList::Pair, e.tier->decision->row));
  EXPECT_TRUE(same_result(e.result, group(record)));
  // The compiled-in explanation keeps its column names.
  EXPECT_EQ(explain(record).tier->lists[0].name, "CmdICD290s1");
}

}  // namespace
}  // namespace cmg290::test
