// Tier-table sets: the compiled-in set and its placeholders, a set written
// and loaded back, the digest of the canonical contents, the manifest.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "cmg290/tier_set.h"
#include "tier_set_files.h"
#include "tiersets/sha256.h"

namespace cmg290::test {
namespace {

constexpr TierSetList kAllLists[] = {
    TierSetList::Single240, TierSetList::Single250, TierSetList::Single260, TierSetList::Single282,
    TierSetList::Single290, TierSetList::Pair,      TierSetList::Secondary};

int placeholder_rows(const TierSet& set, TierSetList list) {
  int n = 0;
  for (int r = 1; r <= set.entries(list); ++r) n += set.is_placeholder(list, r);
  return n;
}

TEST(TierSet, CompiledInSetNamesItselfAndItsPlaceholders) {
  const auto set = TierSet::compiled();
  EXPECT_EQ(set, TierSet::compiled());
  EXPECT_TRUE(set->is_compiled());
  EXPECT_EQ(set->name(), "compiled-in");
  EXPECT_EQ(set->digest().size(), 64u);
  EXPECT_EQ(set->digest().find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_EQ(set->identity(), "compiled-in sha256:" + set->digest());
  EXPECT_TRUE(set->holds_placeholders());
  EXPECT_TRUE(set->deviations().empty());

  // The generated D entries of each single-code list; the pair and
  // secondary lists are fixed whole.
  const int entries[] = {946, 951, 967, 1002, 1156, 63, 48};
  const int generated[] = {902, 902, 902, 898, 898, 0, 0};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(set->entries(kAllLists[i]), entries[i]) << tier_set_file(kAllLists[i]);
    EXPECT_EQ(placeholder_rows(*set, kAllLists[i]), generated[i]) << tier_set_file(kAllLists[i]);
  }
  // The B, C and first D rows are fixed, as are the three-character codes
  // and the codes by which versions differ.
  const TierSetList l290 = TierSetList::Single290;
  for (int r = 1; r <= 26; ++r) EXPECT_FALSE(set->is_placeholder(l290, r)) << r;
  for (int r = 1; r <= set->entries(l290); ++r) {
    const TierSetRow row = set->row(l290, r);
    if (row.code == "A35.^^^^" || row.code == "E08.3211" || row.code == "I60.2^^^") {
      EXPECT_FALSE(set->is_placeholder(l290, r)) << row.code;
    }
    if (set->is_placeholder(l290, r)) {
      EXPECT_EQ(row.tier, 'D');
    }
  }
  EXPECT_TRUE(set->is_placeholder(l290, 27));
  EXPECT_FALSE(set->is_placeholder(l290, 0));
  EXPECT_FALSE(set->is_placeholder(l290, 1157));
  EXPECT_THROW(set->row(l290, 1157), std::out_of_range);
}

TEST(TierSet, JsonNamesTheSetAndEscapesItsTexts) {
  const auto compiled = TierSet::compiled();
  EXPECT_EQ(tier_set_json(*compiled),
            "{\"name\":\"compiled-in\",\"sha256\":\"" + compiled->digest() +
                "\",\"compiled_in\":true,\"placeholders\":true,\"deviations\":[]}");

  SetDir dir;
  dir.write_compiled();
  dir.write("manifest.txt", "name = \"quoted\" \\ set\nplaceholders = none\n");
  std::vector<TierSetProblem> problems;
  const auto set = dir.load(problems);
  ASSERT_NE(set, nullptr) << problems_text(problems);
  EXPECT_EQ(tier_set_json(*set), "{\"name\":\"\\\"quoted\\\" \\\\ set\",\"sha256\":\"" +
                                     set->digest() +
                                     "\",\"compiled_in\":false,\"placeholders\":true,"
                                     "\"deviations\":[]}");
}

TEST(TierSet, WrittenSetLoadsBackAsTheSameSet) {
  SetDir dir;
  dir.write_compiled();
  std::vector<std::string> files;
  for (const auto& e : fs::directory_iterator(dir.path())) files.push_back(e.path().filename());
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files,
            (std::vector<std::string>{"manifest.txt", "pair.csv", "secondary.csv",
                                      "single-2.40.csv", "single-2.50.csv", "single-2.60.csv",
                                      "single-2.82.csv", "single-2.90.csv"}));
  EXPECT_EQ(dir.line("single-2.40.csv", 1), "code,tier,excluded_rics,placeholder");
  EXPECT_EQ(dir.line("single-2.40.csv", 2), "478.31,B,15,");
  EXPECT_EQ(dir.line("single-2.40.csv", 7), "V44.0,B,,");
  EXPECT_EQ(dir.line("pair.csv", 1), "code_1,code_2,tier,excluded_rics");
  EXPECT_EQ(dir.line("pair.csv", 2), "B39.4^^^,G02.^^^^,D,\"03, 05\"");

  std::vector<TierSetProblem> problems;
  const auto loaded = dir.load(problems);
  ASSERT_NE(loaded, nullptr) << problems_text(problems);
  EXPECT_TRUE(problems.empty());
  const auto compiled = TierSet::compiled();
  EXPECT_FALSE(loaded->is_compiled());
  EXPECT_EQ(loaded->name(), "compiled-in");
  EXPECT_EQ(loaded->digest(), compiled->digest());
  EXPECT_TRUE(loaded->holds_placeholders());
  for (const TierSetList list : kAllLists) {
    ASSERT_EQ(loaded->entries(list), compiled->entries(list));
    for (int r = 1; r <= compiled->entries(list); ++r) {
      const TierSetRow a = loaded->row(list, r), b = compiled->row(list, r);
      ASSERT_TRUE(a.code == b.code && a.code2 == b.code2 && a.tier == b.tier &&
                  a.excludedRics == b.excludedRics)
          << tier_set_file(list) << " row " << r;
      ASSERT_EQ(loaded->is_placeholder(list, r), compiled->is_placeholder(list, r));
    }
  }

  // Written again, the files are the same bytes.
  SetDir again;
  std::string error;
  ASSERT_TRUE(loaded->write(again.str(), error)) << error;
  for (const std::string& f : files) EXPECT_EQ(again.read(f), dir.read(f)) << f;
}

TEST(TierSet, DigestCoversWhatGroupsAndNothingElse) {
  SetDir dir;
  dir.write_compiled();
  const std::string compiledDigest = TierSet::compiled()->digest();
  // Codes in their lenient forms, RICs in another order and form, a CRLF
  // line, quotes, a byte-order mark, another name: the same contents.
  std::vector<std::string> lines = dir.lines_of("single-2.90.csv");
  int rowOfI60 = 0;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    if (lines[k].starts_with("I60.00^^,")) rowOfI60 = static_cast<int>(k) + 1;
  }
  ASSERT_GT(rowOfI60, 0);
  dir.set_line("single-2.90.csv", rowOfI60, "I6000,D,\"3;2; 1\"\r");
  dir.set_line("single-2.90.csv", 1,
               "\xEF\xBB\xBF"
               "code, tier ,excluded_rics,placeholder");
  dir.set_line("single-2.90.csv", 2, "\"J38.01\",B,15");
  dir.write("manifest.txt", "# renamed\nname = another name\n");
  std::vector<TierSetProblem> problems;
  auto set = dir.load(problems);
  ASSERT_NE(set, nullptr) << problems_text(problems);
  EXPECT_EQ(set->digest(), compiledDigest);
  EXPECT_EQ(set->name(), "another name");

  // A changed excluded-RIC list is another set: it deviates from the
  // documented counts, which has to be allowed, and shows in its identity.
  dir.set_line("single-2.90.csv", rowOfI60, "I60.00^^,D,\"01, 02\"");
  problems.clear();
  EXPECT_EQ(dir.load(problems), nullptr);
  ASSERT_FALSE(problems.empty());
  problems.clear();
  set = dir.load(problems, true);
  ASSERT_NE(set, nullptr) << problems_text(problems);
  EXPECT_NE(set->digest(), compiledDigest);
  ASSERT_FALSE(set->deviations().empty());
  EXPECT_NE(set->identity().find(", deviating in "), std::string::npos) << set->identity();
  const std::string where = dir.str() + "/single-2.90.csv:" + std::to_string(rowOfI60) + ": ";
  bool named = false;
  for (const std::string& d : set->deviations()) named = named || d.starts_with(where);
  EXPECT_TRUE(named) << set->deviations().front();
}

// The digest the README and docs/explain.md print, and its definition: each
// list in order, its file name, a line end and its CSV text without the
// placeholder column, with every excluded-RIC list as the RICs it names in
// ascending order (and, only when some row is marked official, those rows).
TEST(TierSet, CompiledInDigestIsTheDocumentedOne) {
  SetDir dir;
  dir.write_compiled();
  tiersets::Sha256 sha;
  for (const TierSetList list : kAllLists) {
    const bool early = list <= TierSetList::Single260;
    std::string text;
    for (std::string line : dir.lines_of(tier_set_file(list))) {
      if (list <= TierSetList::Single290) {
        // The placeholder column, "placeholder" or empty, is no part of it.
        if (line.ends_with(",placeholder"))
          line.resize(line.size() - 12);
        else if (line.ends_with(","))
          line.pop_back();
      }
      const std::size_t quote = line.find('"');
      if (quote != std::string::npos) {
        std::vector<std::string> rics;
        std::istringstream names(line.substr(quote + 1, line.size() - quote - 2));
        for (std::string r; std::getline(names, r, ',');)
          rics.push_back(r.substr(r.find_first_not_of(' '), 2));
        std::sort(rics.begin(), rics.end());
        line.resize(quote + 1);
        for (const std::string& r : rics)
          line += r + (&r == &rics.back() ? "\"" : early ? "," : ", ");
      }
      text += line + "\n";
    }
    sha.update(std::string(tier_set_file(list)) + "\n" + text);
  }
  const std::string digest = tiersets::hex(sha.finish());
  EXPECT_EQ(digest, "28920747ca9b0b29ccfbf2fffcb9f7b0f3d86778b01f3393046fe0546129977d");
  EXPECT_EQ(TierSet::compiled()->digest(), digest);
}

// A placeholder row moved into tier C stays one (its code is still
// invented); a last row holding a placeholder code is one.
TEST(TierSet, PlaceholderMarksAtTheEdges) {
  const auto compiled = TierSet::compiled();
  const TierSetList l290 = TierSetList::Single290;
  int last = 0;
  for (int r = 1; r <= compiled->entries(l290); ++r) {
    if (compiled->is_placeholder(l290, r)) last = r;
  }
  ASSERT_LT(last, compiled->entries(l290));
  SetDir dir;
  dir.write_compiled();
  std::vector<std::string> lines = dir.lines_of("single-2.90.csv");
  lines.resize(static_cast<std::size_t>(last) + 1);  // the header is line 1
  ASSERT_TRUE(compiled->is_placeholder(l290, 27));
  std::string moved = lines[27];
  lines.erase(lines.begin() + 27);
  moved.replace(moved.find(",D,"), 3, ",C,");
  const auto tier = [](const std::string& line) { return line[line.find(',') + 1]; };
  const auto at = std::find_if(lines.begin() + 1, lines.end(), [&](const std::string& x) {
    return tier(x) == 'D' || (tier(x) == 'C' && x > moved);
  });
  const int movedRow = static_cast<int>(at - lines.begin());
  lines.insert(at, moved);
  std::string text;
  for (const std::string& x : lines) text += x + "\n";
  dir.write("single-2.90.csv", text);
  std::vector<TierSetProblem> problems;
  const auto set = dir.load(problems, true);
  ASSERT_NE(set, nullptr) << problems_text(problems);
  ASSERT_EQ(set->entries(l290), last);
  EXPECT_EQ(set->row(l290, movedRow).tier, 'C');
  EXPECT_TRUE(set->is_placeholder(l290, movedRow));
  EXPECT_TRUE(set->is_placeholder(l290, last));
  EXPECT_EQ(placeholder_rows(*set, l290), placeholder_rows(*compiled, l290));
}

TEST(TierSet, ManifestNamesTheSetAndNoKeySilencesItsPlaceholders) {
  SetDir dir;
  dir.write_compiled();
  fs::remove(dir.path() / "manifest.txt");
  std::vector<TierSetProblem> problems;
  auto set = dir.load(problems);
  ASSERT_NE(set, nullptr) << problems_text(problems);
  EXPECT_EQ(set->name(), dir.path().filename().string());
  EXPECT_TRUE(set->holds_placeholders());
  EXPECT_TRUE(set->notes().empty());

  // "placeholders = none" still loads, with a note, and changes nothing:
  // two sets of one digest disclose alike.
  SetDir declared;
  declared.write_compiled();
  declared.write("manifest.txt", "name=official\nplaceholders = none\n");
  const auto silenced = declared.load(problems);
  ASSERT_NE(silenced, nullptr) << problems_text(problems);
  EXPECT_EQ(silenced->name(), "official");
  EXPECT_EQ(silenced->digest(), set->digest());
  EXPECT_TRUE(silenced->holds_placeholders());
  for (const TierSetList list : kAllLists) {
    EXPECT_EQ(placeholder_rows(*silenced, list), placeholder_rows(*set, list));
  }
  ASSERT_EQ(silenced->notes().size(), 1u);
  EXPECT_NE(silenced->notes()[0].find("manifest.txt:2: \"placeholders = none\" is no longer "
                                      "honoured"),
            std::string::npos)
      << silenced->notes()[0];

  // A placeholder code stays one whatever its tier or excluded RICs.
  const std::string row27 = dir.line("single-2.90.csv", 28);  // the header is line 1
  const std::string code = row27.substr(0, row27.find(','));
  const std::string rics = row27.find(",,") != std::string::npos ? "\"02, 03\"" : "";
  dir.set_line("single-2.90.csv", 28, code + ",D," + rics);
  set = dir.load(problems, true);
  ASSERT_NE(set, nullptr) << problems_text(problems);
  EXPECT_TRUE(set->is_placeholder(TierSetList::Single290, 27));
  EXPECT_TRUE(set->is_placeholder(TierSetList::Single290, 28));
  // Moved to tier C, in its place by code.
  std::vector<std::string> lines = dir.lines_of("single-2.90.csv");
  lines.erase(lines.begin() + 27);
  std::size_t at = 1;
  while (lines[at].find(",B,") != std::string::npos ||
         (lines[at].find(",C,") != std::string::npos && lines[at] < code))
    ++at;
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), code + ",C," + rics);
  std::string text;
  for (const std::string& l : lines) text += l + "\n";
  dir.write("single-2.90.csv", text);
  set = dir.load(problems, true);
  ASSERT_NE(set, nullptr) << problems_text(problems);
  EXPECT_EQ(set->row(TierSetList::Single290, static_cast<int>(at)).tier, 'C');
  EXPECT_TRUE(set->is_placeholder(TierSetList::Single290, static_cast<int>(at)));
  EXPECT_EQ(placeholder_rows(*set, TierSetList::Single290), 898);
}

// The exported lists show which rows are placeholders; "official" in that
// column clears one row, is part of the digest, and survives a write.
TEST(TierSet, DisclosureIsClearedRowByRow) {
  const auto compiled = TierSet::compiled();
  // A set clearing no row keeps the digest printed in the docs.
  EXPECT_EQ(compiled->digest(), "28920747ca9b0b29ccfbf2fffcb9f7b0f3d86778b01f3393046fe0546129977d");
  SetDir dir;
  dir.write_compiled();
  EXPECT_EQ(dir.line("single-2.90.csv", 1), "code,tier,excluded_rics,placeholder");
  EXPECT_EQ(dir.line("pair.csv", 1), "code_1,code_2,tier,excluded_rics");
  EXPECT_TRUE(dir.line("single-2.90.csv", 28).ends_with(",placeholder"));
  EXPECT_TRUE(dir.line("single-2.90.csv", 2).ends_with(","));

  std::string row = dir.line("single-2.90.csv", 28);
  dir.set_line("single-2.90.csv", 28, row.substr(0, row.rfind(',')) + ",Official");
  // On a fixed row the mark means nothing: noted and dropped.
  row = dir.line("single-2.90.csv", 2);
  dir.set_line("single-2.90.csv", 2, row.substr(0, row.rfind(',')) + ",official");
  std::vector<TierSetProblem> problems;
  const auto set = dir.load(problems);
  ASSERT_NE(set, nullptr) << problems_text(problems);
  EXPECT_NE(set->digest(), compiled->digest());
  EXPECT_FALSE(set->is_placeholder(TierSetList::Single290, 27));
  EXPECT_TRUE(set->disclosure_cleared(TierSetList::Single290, 27));
  EXPECT_FALSE(set->disclosure_cleared(TierSetList::Single290, 1));
  EXPECT_FALSE(set->disclosure_cleared(TierSetList::Single290, 28));
  EXPECT_FALSE(set->disclosure_cleared(TierSetList::Pair, 0));
  EXPECT_EQ(placeholder_rows(*set, TierSetList::Single290), 897);
  EXPECT_TRUE(set->holds_placeholders());
  // A pin names the digest with the marks: the set loads by it, and not by
  // the digest of its lists without them.
  TierSetOptions pinned;
  pinned.expectedSha256 = set->digest();
  std::vector<TierSetProblem> refused;
  EXPECT_NE(TierSet::load(dir.str(), refused, pinned), nullptr) << problems_text(refused);
  pinned.expectedSha256 = compiled->digest();
  EXPECT_EQ(TierSet::load(dir.str(), refused, pinned), nullptr);
  ASSERT_EQ(set->notes().size(), 2u);
  EXPECT_NE(set->notes()[0].find("single-2.90.csv:2: code J38.01^^ is marked official but is no "
                                 "placeholder code"),
            std::string::npos)
      << set->notes()[0];
  EXPECT_NE(set->notes()[1].find("single-2.90.csv:28: placeholder code"), std::string::npos)
      << set->notes()[1];

  // Written and loaded back: the same digest and the same row cleared.
  SetDir copy;
  std::string error;
  ASSERT_TRUE(set->write(copy.str(), error)) << error;
  EXPECT_TRUE(copy.line("single-2.90.csv", 28).ends_with(",official"));
  EXPECT_TRUE(copy.line("single-2.90.csv", 2).ends_with(","));
  const auto again = copy.load(problems);
  ASSERT_NE(again, nullptr) << problems_text(problems);
  EXPECT_EQ(again->digest(), set->digest());
  EXPECT_TRUE(again->disclosure_cleared(TierSetList::Single290, 27));

  // Old files of three columns still load, with the compiled-in digest.
  SetDir old;
  old.write_compiled();
  for (const char* file : {"single-2.40.csv", "single-2.90.csv"}) {
    std::string text;
    for (const std::string& l : old.lines_of(file)) text += l.substr(0, l.rfind(',')) + "\n";
    old.write(file, text);
  }
  EXPECT_EQ(old.line("single-2.90.csv", 1), "code,tier,excluded_rics");
  const auto three = old.load(problems);
  ASSERT_NE(three, nullptr) << problems_text(problems);
  EXPECT_EQ(three->digest(), compiled->digest());
  EXPECT_TRUE(three->is_placeholder(TierSetList::Single290, 27));
}

// Rows are cited by the line of their file, for a loaded set as it was read,
// for the compiled-in set as its exported file would have it.
TEST(TierSet, RowsKnowTheirFileLines) {
  const auto compiled = TierSet::compiled();
  EXPECT_EQ(compiled->line(TierSetList::Single290, 1), 2);
  EXPECT_EQ(compiled->line(TierSetList::Pair, 63), 64);
  EXPECT_EQ(compiled->line(TierSetList::Pair, 64), 0);
  EXPECT_EQ(compiled->line(TierSetList::Single240, 0), 0);
  SetDir dir;
  dir.write_compiled();
  const std::string text = dir.read("single-2.82.csv");
  const std::size_t second = text.find('\n', text.find('\n') + 1) + 1;
  dir.write("single-2.82.csv", "\n\n" + text.substr(0, second) + "\n" + text.substr(second));
  std::vector<TierSetProblem> problems;
  const auto set = dir.load(problems);
  ASSERT_NE(set, nullptr) << problems_text(problems);
  EXPECT_EQ(set->line(TierSetList::Single282, 1), 4);
  EXPECT_EQ(set->line(TierSetList::Single282, 2), 6);
  EXPECT_EQ(set->line(TierSetList::Single290, 2), 3);
}

}  // namespace
}  // namespace cmg290::test
