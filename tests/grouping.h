// Runs CMG_290 on a record and returns its outputs as strings for easy
// comparison in tests.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>

#include "cmg290/cmg290.h"

namespace cmg290::test {

struct Grouped {
  int result;
  int status;
  std::string cmg;
  std::string motor;
  int cognitive;
  int age;
  std::string tableVersion;
  std::string grouperVersion;
};

inline std::ostream& operator<<(std::ostream& os, const Grouped& g) {
  return os << "{result " << g.result << " status " << g.status << " cmg '" << g.cmg << "' motor '"
            << g.motor << "' cog " << g.cognitive << " age " << g.age << " tv '" << g.tableVersion
            << "' gv '" << g.grouperVersion << "'}";
}

// Groups with CMG_290; the record is padded with blanks to 1251 characters.
// The output buffers start filled with junk so that a missing reset shows.
inline Grouped group_record(const std::string& record) {
  std::string r = record;
  if (r.size() < kRecordLength) r.resize(kRecordLength, ' ');
  char cmg[6], motor[7], tv[5], gv[5];
  std::memset(cmg, 'x', sizeof cmg);
  std::memset(motor, 'x', sizeof motor);
  std::memset(tv, 'x', sizeof tv);
  std::memset(gv, 'x', sizeof gv);
  cmg[5] = motor[6] = tv[4] = gv[4] = '\0';
  int status = -99, cog = -99, age = -99;
  const int result = CMG_290(r.data(), cmg, &status, motor, &cog, &age, tv, gv);
  return {result, status, cmg, motor, cog, age, tv, gv};
}

// Groups with both entries, expects the same outputs from each and returns
// them.
inline Grouped group_both(const std::string& record) {
  const Grouped g = group_record(record);
  const Result r = group(record);
  EXPECT_EQ(r.status, g.status);
  EXPECT_EQ(r.cmg, g.cmg);
  EXPECT_EQ(r.motorScore, g.motor);
  EXPECT_EQ(r.cognitiveScore, g.cognitive);
  EXPECT_EQ(r.age, g.age);
  EXPECT_EQ(r.tableVersion, g.tableVersion);
  EXPECT_EQ(r.grouperVersion, g.grouperVersion);
  return g;
}

}  // namespace cmg290::test
