// Pinning a tier-table set by its digest: the set signed off is taken with
// its deviations, any other is refused naming both digests.
#include <gtest/gtest.h>

#include <algorithm>

#include "cmg290/tier_set.h"
#include "tier_set_files.h"

namespace cmg290::test {
namespace {

std::shared_ptr<const TierSet> load_pinned(const SetDir& dir, const std::string& pin,
                                           std::vector<TierSetProblem>& problems) {
  TierSetOptions options;
  options.expectedSha256 = pin;
  return TierSet::load(dir.str(), problems, options);
}

std::string upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

// A copy of the compiled-in set whose last D row of 2.90 is dropped: a
// deviation from the documented entry count.
void write_deviating(const SetDir& dir) {
  dir.write_compiled();
  std::vector<std::string> lines = dir.lines_of("single-2.90.csv");
  lines.pop_back();
  std::string text;
  for (const std::string& l : lines) text += l + "\n";
  dir.write("single-2.90.csv", text);
}

TEST(TierSetPin, DigestsAreReadInEitherCase) {
  const std::string digest = TierSet::compiled()->digest();
  std::string read;
  std::string error;
  ASSERT_TRUE(parse_sha256(upper(digest), read, error)) << error;
  EXPECT_EQ(read, digest);
  for (const std::string& bad :
       {std::string(), digest.substr(1), digest + "0", digest.substr(1) + "g",
        " " + digest.substr(1), "sha256:" + digest.substr(7)}) {
    std::string untouched = "kept";
    error.clear();
    EXPECT_FALSE(parse_sha256(bad, untouched, error)) << bad;
    EXPECT_EQ(untouched, "kept");
    EXPECT_NE(error.find("64 hex digits"), std::string::npos) << error;
  }
}

TEST(TierSetPin, TheSetSignedOffIsTakenWithItsDeviations) {
  SetDir dir;
  write_deviating(dir);
  std::vector<TierSetProblem> problems;
  EXPECT_EQ(dir.load(problems), nullptr);  // no pin, no allowance: refused
  problems.clear();
  const auto allowed = dir.load(problems, true);
  ASSERT_NE(allowed, nullptr) << problems_text(problems);

  const auto pinned = load_pinned(dir, upper(allowed->digest()), problems);
  ASSERT_NE(pinned, nullptr) << problems_text(problems);
  EXPECT_EQ(pinned->digest(), allowed->digest());
  EXPECT_EQ(pinned->deviations(), allowed->deviations());
  EXPECT_EQ(pinned->identity(), allowed->identity());
  EXPECT_EQ(tier_set_json(*pinned), tier_set_json(*allowed));
}

TEST(TierSetPin, AnyOtherSetIsRefusedNamingBothDigests) {
  SetDir dir;
  write_deviating(dir);
  std::vector<TierSetProblem> problems;
  const auto allowed = dir.load(problems, true);
  ASSERT_NE(allowed, nullptr) << problems_text(problems);
  const std::string expected = TierSet::compiled()->digest();
  for (const bool allow : {false, true}) {
    TierSetOptions options;
    options.allowDeviations = allow;
    options.expectedSha256 = upper(expected);
    problems.clear();
    EXPECT_EQ(TierSet::load(dir.str(), problems, options), nullptr);
    ASSERT_EQ(problems.size(), 1u) << problems_text(problems);
    EXPECT_EQ(problems[0].file, dir.str());
    EXPECT_EQ(problems[0].reason, "the set is not the one expected: its sha256 is " +
                                      allowed->digest() + ", expected " + expected);
  }
  // The compiled-in copy fits the documented contents, and is refused all
  // the same when another set is expected.
  SetDir plain;
  plain.write_compiled();
  problems.clear();
  EXPECT_EQ(load_pinned(plain, allowed->digest(), problems), nullptr);
  ASSERT_EQ(problems.size(), 1u) << problems_text(problems);
  EXPECT_NE(
      problems[0].reason.find("its sha256 is " + expected + ", expected " + allowed->digest()),
      std::string::npos);
}

TEST(TierSetPin, AMalformedPinRefusesTheSet) {
  SetDir dir;
  dir.write_compiled();
  std::vector<TierSetProblem> problems;
  EXPECT_EQ(load_pinned(dir, "abc123", problems), nullptr);
  ASSERT_EQ(problems.size(), 1u) << problems_text(problems);
  EXPECT_NE(problems[0].reason.find("64 hex digits"), std::string::npos);
  // The right pin does not pass over a fault of the files.
  dir.write("stray.txt", "x");
  problems.clear();
  EXPECT_EQ(load_pinned(dir, TierSet::compiled()->digest(), problems), nullptr);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].reason.find("unexpected file"), std::string::npos);
}

}  // namespace
}  // namespace cmg290::test
