// The code map on its own, away from the tier lists: every code added is
// found at its lowest row with the others chained in order, and a code never
// added is not found, whether its bit in the front array is set or not.
#include "grouper/code_map.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <vector>

namespace cmg290::test {
namespace {

constexpr int kRows = 1200;  // about the size of the largest tier list
using Map = detail::CodeMap<kRows>;

TEST(CodeMap, FindsEveryCodeAtItsRowsAndNoOtherCode) {
  std::mt19937_64 random(11);
  // 400 codes over rows 1 to kRows - 1, about three rows each.
  std::vector<std::uint64_t> codes(400);
  for (auto& c : codes) c = random() | 1;
  auto map = std::make_unique<Map>();
  std::map<std::uint64_t, std::vector<int>> rowsOf;
  for (int r = 1; r < kRows; ++r) {
    const std::uint64_t code = codes[random() % codes.size()];
    map->add(code, r);
    rowsOf[code].push_back(r);
  }

  for (const auto& [code, rows] : rowsOf) {
    std::vector<int> chain;
    for (int r = map->find(code); r != 0; r = map->next[r]) chain.push_back(r);
    EXPECT_EQ(chain, rows) << std::hex << code;
  }

  // Codes never added: some pass the front array and are turned away by the
  // slots, which must happen too.
  int passedFront = 0;
  for (int i = 0; i < 100000; ++i) {
    const std::uint64_t code = random() | 1;
    if (rowsOf.count(code) != 0) continue;
    passedFront += map->may_hold(code);
    EXPECT_EQ(map->find(code), 0) << std::hex << code;
  }
  EXPECT_GT(passedFront, 0);
  EXPECT_LT(passedFront, 100000 / 10);  // the front array turns most away
}

}  // namespace
}  // namespace cmg290::test
