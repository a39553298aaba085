// --tier-tables-sha256 HEX on every command that takes --tier-tables: the
// set signed off is taken with its deviations, any other is refused before
// anything is read or written, naming both digests.
#include <algorithm>

#include "cli/cli_fixture.h"
#include "cmg290/tier_set.h"

namespace cmg290::cli_test {
namespace {

class TierSetPin : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    ASSERT_EQ(tool("tables export --all plain").code, 0);
    // A deviating copy: one row of 2.90 made to exclude RIC 01.
    ASSERT_EQ(tool("tables export --all signed").code, 0);
    std::string csv = read("signed/single-2.90.csv");
    const std::size_t at = csv.find("\nZ99.2^^^,B,");
    ASSERT_NE(at, std::string::npos);
    csv.insert(at + std::string_view("\nZ99.2^^^,B,").size(), "01");
    write("signed/single-2.90.csv", csv);
    std::vector<TierSetProblem> problems;
    const auto set = TierSet::load(path("signed").string(), problems,
                                   {.allowDeviations = true, .expectedSha256 = {}});
    ASSERT_NE(set, nullptr);
    ASSERT_FALSE(set->deviations().empty());
    signed_ = set->digest();
    // The deviations name the directory as the command is given it.
    signedJson_ = tier_set_json(*set);
    const std::string absolute = path("signed").string() + "/";
    for (std::size_t at = 0; (at = signedJson_.find(absolute, at)) != std::string::npos;) {
      signedJson_.replace(at, absolute.size(), "signed/");
    }
    ASSERT_NE(signedJson_.find("\"deviations\":[\"signed/single-2.90.csv:"), std::string::npos);
    ASSERT_EQ(tool("sample --count 200 --seed 3 -o in.txt").code, 0);
  }
  static std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
  }
  const std::string compiled_ = TierSet::compiled()->digest();
  std::string signed_;
  std::string signedJson_;
};

TEST_F(TierSetPin, TheSignedOffSetIsTakenWithItsDeviations) {
  EXPECT_EQ(tool("group -q --tier-tables signed in.txt").code, 2) << "deviates, not pinned";
  const Outcome allowed = tool("group -q -f jsonl --tier-tables signed --allow-deviations in.txt");
  ASSERT_EQ(allowed.code, 0) << allowed.err;
  // Upper-case digits are the same pin.
  const Outcome pinned = tool("group -q -f jsonl --tier-tables signed --tier-tables-sha256 " +
                              upper(signed_) + " in.txt");
  ASSERT_EQ(pinned.code, 0) << pinned.err;
  EXPECT_EQ(pinned.out, allowed.out);
  // Every row names the set with its deviations.
  for (const std::string& row : lines_of(pinned.out)) {
    ASSERT_TRUE(row.ends_with(",\"tier_set\":" + signedJson_ + "}")) << row;
  }
  const Outcome plain =
      tool("group -q --tier-tables plain --tier-tables-sha256 " + compiled_ + " in.txt");
  EXPECT_EQ(plain.code, 0) << plain.err;
  EXPECT_EQ(plain.out, tool("group -q in.txt").out);
  const Outcome explained = tool(
      "explain -f json --line 1 --tier-tables signed --tier-tables-sha256 " + signed_ + " in.txt");
  EXPECT_EQ(explained.code, 0) << explained.err;
  EXPECT_NE(explained.out.find(",\"tier_set\":" + signedJson_), std::string::npos);
}

TEST_F(TierSetPin, AnyOtherSetIsRefusedNamingBothDigests) {
  const std::string both = "its sha256 is " + signed_ + ", expected " + compiled_;
  for (const std::string command : {"group", "explain"}) {
    write("out.txt", "earlier\n");
    for (const std::string allow : {"", " --allow-deviations"}) {
      const Outcome run = tool(command + " --tier-tables signed --tier-tables-sha256 " + compiled_ +
                               allow + " -o out.txt in.txt");
      EXPECT_EQ(run.code, 2) << command << allow;
      EXPECT_NE(run.err.find(both), std::string::npos) << run.err;
      EXPECT_EQ(read("out.txt"), "earlier\n") << command;
    }
  }
  const Outcome compared = tool(
      "compare --tier-tables signed --tier-tables plain "
      "--tier-tables-sha256 " +
      signed_ + " --tier-tables-sha256 " + signed_ + " in.txt");
  EXPECT_EQ(compared.code, 2);
  EXPECT_NE(compared.err.find("its sha256 is " + compiled_ + ", expected " + signed_),
            std::string::npos)
      << compared.err;
  const Outcome bothPinned = tool(
      "compare -q --tier-tables signed --tier-tables plain "
      "--tier-tables-sha256 " +
      signed_ + " --tier-tables-sha256 " + compiled_ + " in.txt");
  EXPECT_EQ(bothPinned.code, 0) << bothPinned.err;
}

TEST_F(TierSetPin, MalformedOrMisplacedPinsAreRefused) {
  for (const std::string& pin :
       {std::string("abc"), compiled_ + "0", compiled_.substr(1) + "g", "sha256:" + compiled_}) {
    const Outcome run = tool("group --tier-tables plain --tier-tables-sha256 '" + pin + "' in.txt");
    EXPECT_EQ(run.code, 2) << pin;
    EXPECT_NE(run.err.find("64 hex digits"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
  const Outcome alone = tool("group --tier-tables-sha256 " + compiled_ + " in.txt");
  EXPECT_EQ(alone.code, 2);
  EXPECT_NE(alone.err.find("--tier-tables"), std::string::npos) << alone.err;
  const Outcome uneven = tool(
      "compare --tier-tables signed --tier-tables plain "
      "--tier-tables-sha256 " +
      signed_ + " in.txt");
  EXPECT_EQ(uneven.code, 2);
  EXPECT_NE(uneven.err.find("once for each --tier-tables"), std::string::npos) << uneven.err;
}

}  // namespace
}  // namespace cmg290::cli_test
