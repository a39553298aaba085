// An ordinary program linked against libcmg290.so with the linker's default
// flags, as a user links it: it defines none of the platform functions. The
// grouping entries work; the external-procedure entry refuses to run instead
// of calling through a null address, and leaves its arguments alone.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "cmg290/cmg290.h"

extern "C" int callcmg290(void* extProcCtx, char* record, char* cmgResult, int* status,
                          char* motorScore, int* cognitiveScore, int* age, char* tableVersion,
                          char* grouperVersion);

namespace {

TEST(Unhosted, GroupingEntriesWork) {
  std::string record(cmg290::kRecordLength, ' ');
  const cmg290::Result r = cmg290::group(record);
  EXPECT_EQ(r.status, 1);
  EXPECT_STREQ(r.grouperVersion, "2.90");
  int status = -7, cognitive = 0, age = 0;
  char cmg[6], motor[7], tables[5], grouper[5];
  EXPECT_EQ(CMG_290(record.data(), cmg, &status, motor, &cognitive, &age, tables, grouper), 1);
  EXPECT_EQ(status, 1);
}

TEST(Unhosted, ExternalProcedureEntryRefusesWithoutItsAgent) {
  std::string record(cmg290::kRecordLength, ' ');
  char cmg[6] = "xxxxx", motor[7] = "xxxxxx", tables[5] = "xxxx", grouper[5] = "xxxx";
  int status = -7, cognitive = -7, age = -7;
  int context = 0;  // never dereferenced
  EXPECT_EQ(
      callcmg290(&context, record.data(), cmg, &status, motor, &cognitive, &age, tables, grouper),
      -1);
  EXPECT_STREQ(cmg, "xxxxx");
  EXPECT_STREQ(motor, "xxxxxx");
  EXPECT_STREQ(tables, "xxxx");
  EXPECT_STREQ(grouper, "xxxx");
  EXPECT_EQ(status, -7);
  EXPECT_EQ(cognitive, -7);
  EXPECT_EQ(age, -7);
}

}  // namespace
