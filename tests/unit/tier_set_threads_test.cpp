// One loaded tier-table set shared by many threads: every thread groups as
// one thread alone does.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "cmg290/tier_set.h"
#include "record_builder.h"
#include "tier_generator.h"
#include "tier_set_files.h"

namespace cmg290::test {
namespace {

std::vector<std::string> mixed_records() {
  const char* dates[] = {"20100801", "20110101", "20120601", "20150101", "20160301", "20190101"};
  const TableVersion versions[] = {TableVersion::V240, TableVersion::V250, TableVersion::V260,
                                   TableVersion::V270, TableVersion::V282, TableVersion::V290};
  std::vector<std::string> records;
  for (int v = 0; v < 6; ++v) {
    ListGenerator gen(versions[v], 77 + static_cast<unsigned>(v));
    ComorbidCodeList list;
    for (int i = 0; i < 500; ++i) {
      gen.fill(list);
      RecordBuilder b = RecordBuilder::valid().versionDate(dates[v]);
      for (int k = 0; k < 25; ++k) b.comorbid(k + 1, list.cell[k]);
      records.push_back(b.str());
    }
  }
  return records;
}

TEST(TierSetThreads, SharedSetGroupsAsOneThreadDoes) {
  SetDir dir;
  dir.write_compiled();
  std::vector<TierSetProblem> problems;
  const auto set = dir.load(problems);
  ASSERT_NE(set, nullptr) << problems_text(problems);
  const std::vector<std::string> records = mixed_records();
  std::vector<std::string> expected;
  for (const std::string& r : records) expected.push_back(group(r, *set).cmg);

  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int pass = 0; pass < 5; ++pass) {
        for (std::size_t i = t; i < records.size(); i += 2) {
          if (expected[i] != group(records[i], *set).cmg) wrong.fetch_add(1);
        }
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace cmg290::test
