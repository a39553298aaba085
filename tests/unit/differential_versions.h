// The table versions as parameters of the differential tests: one test per
// version that table_versions.def lists, named by its number ("290"), so a
// new version is tested without a new test.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "tables/table_versions.h"

namespace cmg290::test {

// The version's number, its label without the point: "2.90" gives 290.
inline unsigned version_number(const detail::TableVersionInfo& v) {
  unsigned n = 0;
  for (const char* c = v.label; *c != '\0'; ++c) {
    if (*c != '.') n = n * 10 + static_cast<unsigned>(*c - '0');
  }
  return n;
}

struct VersionName {
  std::string operator()(const testing::TestParamInfo<detail::TableVersionInfo>& p) const {
    return std::to_string(version_number(p.param));
  }
};

// A parameterised suite over the versions: TEST_P(Suite, Version), then
// CMG290_FOR_EACH_TABLE_VERSION(Suite).
#define CMG290_FOR_EACH_TABLE_VERSION(suite)                                               \
  INSTANTIATE_TEST_SUITE_P(, suite, ::testing::ValuesIn(::cmg290::detail::kTableVersions), \
                           ::cmg290::test::VersionName())

}  // namespace cmg290::test

// Printed in the test's failures and in --gtest_list_tests.
namespace cmg290::detail {
inline void PrintTo(const TableVersionInfo& v, std::ostream* os) {
  *os << v.label;
}
}  // namespace cmg290::detail
