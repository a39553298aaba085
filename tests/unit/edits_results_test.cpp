// Edits over many generated records: finding them changes no result, the
// same edits come from the compiled-in lists and from a set loaded from
// them, each form edit names the tier the record gets with the form written
// in, and a loaded set's own lists decide what is a form edit.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "cmg290/edits.h"
#include "cmg290/tables.h"
#include "record_builder.h"
#include "tier_generator.h"
#include "tier_set_files.h"

namespace cmg290::test {
namespace {

constexpr const char* kDates[] = {"20100815", "20110301", "20130601",
                                  "20150301", "20160301", "20200301"};
constexpr TableVersion kVersions[] = {TableVersion::V240, TableVersion::V250, TableVersion::V260,
                                      TableVersion::V270, TableVersion::V282, TableVersion::V290};

// A record of the version with, now and then, each kind of flaw an edit
// names: odd items and dates, codes of every list in near-miss forms, codes
// of the other family, a cut record, an unreadable byte.
std::string record(int version, ListGenerator& gen, ListGenerator& other) {
  RecordBuilder r = RecordBuilder::valid().versionDate(kDates[version]).ageDate(kDates[version]);
  static const char* const kItems[] = {"88", "-1", " 7", "x ", "  ", "7 ", "09", "+3"};
  for (int k = 1; k <= 17; ++k) {
    const std::string item =
        gen.pick(40) == 0 ? kItems[gen.pick(8)] : "0" + std::to_string(gen.pick(8));
    k <= 12 ? r.motor(k, item) : r.cognitive(k - 12, item);
  }
  static const char* const kDatesOdd[] = {"20200230", "20201301", "2020  01", "19500000"};
  if (gen.pick(30) == 0) r.birthDate(kDatesOdd[gen.pick(4)]);
  if (gen.pick(30) == 0) r.ageDate(gen.pick(2) ? "20200317" : "20200431");
  const std::string group = Imp240[1 + gen.pick(kImpairmentRows - 1)];
  r.impairment(gen.pick(40) == 0 ? group : "  " + group);  // or from the first character
  ComorbidCodeList list;
  gen.fill(list);
  for (int k = 0; k < 25; ++k) {
    std::string code(list.cell[k], strnlen(list.cell[k], 8));
    if (gen.pick(30) == 0) code = other.code();
    if (gen.pick(500) == 0) code += '\x80';
    if (code.size() > 8) code.resize(8);
    r.comorbid(k + 1, code);
  }
  std::string text = r.str();
  if (gen.pick(50) == 0) text.resize(700 + gen.pick(551));
  if (gen.pick(80) == 0) text[1 + gen.pick(9)] = 'x';  // status 1
  return text;
}

bool same_result(const Result& a, const Result& b) {
  return a.status == b.status && std::strcmp(a.cmg, b.cmg) == 0 &&
         std::strcmp(a.motorScore, b.motorScore) == 0 && a.cognitiveScore == b.cognitiveScore &&
         a.age == b.age && std::strcmp(a.tableVersion, b.tableVersion) == 0 &&
         std::strcmp(a.grouperVersion, b.grouperVersion) == 0;
}

bool same_edits(const Edits& a, const Edits& b) {
  if (a.count != b.count) return false;
  for (int i = 0; i < a.count; ++i) {
    const Edit &x = a.items[i], &y = b.items[i];
    if (x.id != y.id || x.field != y.field || x.value_text() != y.value_text() ||
        x.detail_text() != y.detail_text() || std::strcmp(x.label, y.label) != 0 ||
        x.tier[0] != y.tier[0] || x.tier[1] != y.tier[1] || x.number != y.number ||
        x.number2 != y.number2) {
      return false;
    }
  }
  return true;
}

std::string codes_of(const Edits& edits) {
  std::string codes(edit_codes_room(edits), '\0');
  codes.resize(static_cast<std::size_t>(write_edit_codes(codes.data(), edits) - codes.data()));
  return codes;
}

// CMG290_DIFF_RECORDS per version times ten: a million records by default.
TEST(EditsResults, NoResultChangesAndLoadedListsGiveTheSameEdits) {
  SetDir dir;
  dir.write_compiled();
  std::vector<TierSetProblem> problems;
  const std::shared_ptr<const TierSet> loaded = dir.load(problems);
  ASSERT_NE(loaded, nullptr);

  std::map<std::string, int> raised;
  const int perVersion = 10 * records_per_version() / 6;
  int changed = 0, differing = 0, wrongTier = 0;
  for (int v = 0; v < 6; ++v) {
    ListGenerator gen(kVersions[v], 2600 + v);
    ListGenerator other(kVersions[5 - v], 2700 + v);
    for (int i = 0; i < perVersion; ++i) {
      const std::string rec = record(v, gen, other);
      const std::string before = rec;
      const Result first = group(rec);
      Edits edits, fromSet;
      find_edits(rec, first, edits);
      find_edits(rec, group(rec, *loaded), *loaded, fromSet);
      const Result again = group(rec);
      if ((!same_result(first, again) || rec != before) && ++changed <= 3) {
        ADD_FAILURE() << "result changed: " << first.cmg << " then " << again.cmg;
      }
      if (!same_edits(edits, fromSet) && ++differing <= 3) {
        ADD_FAILURE() << codes_of(edits) << " with the set: " << codes_of(fromSet);
      }
      for (const Edit& e : edits) {
        ++raised[std::string(e.code())];
        if (e.id != EditCode::ComorbidCodeForm || e.tier[1] == '\0') continue;
        // The form written into the cell gives the tier the edit names.
        std::string fixed = rec;
        fixed.resize(kRecordLength, ' ');
        const FieldLayout& f = kRecordLayout[e.field];
        fixed.replace(f.start - 1, 8,
                      std::string(e.detail_text()) + std::string(8 - e.detailLength, ' '));
        if (group(fixed).cmg[0] != e.tier[1] && ++wrongTier <= 3) {
          ADD_FAILURE() << edit_message(e) << " but the record gets " << group(fixed).cmg;
        }
      }
    }
  }
  EXPECT_EQ(changed, 0);
  EXPECT_EQ(differing, 0);
  EXPECT_EQ(wrongTier, 0);
  // The records reach every edit.
  for (const EditInfo& info : kEditCatalogue) {
    EXPECT_GT(raised[std::string(info.code)], perVersion / 1000) << info.code;
  }
}

// Threads finding edits at once, with the compiled-in lists and with a
// loaded set, get what one thread gets.
TEST(EditsResults, ThreadsAtOnceGetWhatOneThreadGets) {
  SetDir dir;
  dir.write_compiled();
  std::vector<TierSetProblem> problems;
  const std::shared_ptr<const TierSet> loaded = dir.load(problems);
  ASSERT_NE(loaded, nullptr);
  ListGenerator gen(TableVersion::V290, 2800), other(TableVersion::V240, 2801);
  std::vector<std::string> records;
  for (int i = 0; i < 4000; ++i) records.push_back(record(i % 6, gen, other));
  std::vector<std::string> expected;
  for (const std::string& r : records) {
    Edits e;
    find_edits(r, group(r), e);
    expected.push_back(codes_of(e));
  }
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      Edits e;
      for (std::size_t i = 0; i < records.size(); ++i) {
        const std::string& r = records[(i + 1000 * t) % records.size()];
        if (t % 2 == 0) {
          find_edits(r, group(r), e);
        } else {
          find_edits(r, group(r, *loaded), *loaded, e);
        }
        wrong += codes_of(e) != expected[(i + 1000 * t) % records.size()];
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(wrong.load(), 0);
}

// A set whose 2.90 list holds a code the compiled-in lists do not: the form
// edit follows the set that grouped.
TEST(EditsResults, FormEditsLookUpTheListsOfTheSetThatGrouped) {
  SetDir dir;
  dir.write_compiled();
  const std::vector<std::string> lines = dir.lines_of("single-2.90.csv");
  std::string text;
  for (const std::string& l : lines) {
    text += (l.rfind("J38.01", 0) == 0 ? "J38.00" + l.substr(6) : l) + "\n";
  }
  dir.write("single-2.90.csv", text);
  std::vector<TierSetProblem> problems;
  const std::shared_ptr<const TierSet> set = dir.load(problems, true);
  ASSERT_NE(set, nullptr) << (problems.empty() ? "" : problem_text(problems[0]));

  const std::string rec = RecordBuilder::valid().comorbid(1, "J3800").comorbid(2, "J3801").str();
  Edits withSet, compiled;
  find_edits(rec, group(rec, *set), *set, withSet);
  find_edits(rec, group(rec), compiled);
  ASSERT_EQ(withSet.count, 1);
  EXPECT_EQ(withSet.items[0].value_text(), "J3800");
  EXPECT_EQ(withSet.items[0].detail_text(), "J38.00^^");
  ASSERT_EQ(compiled.count, 1);
  EXPECT_EQ(compiled.items[0].value_text(), "J3801");
}

}  // namespace
}  // namespace cmg290::test
