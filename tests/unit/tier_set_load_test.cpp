// Loading a tier-table set that is faulty: every fault is named by file and
// line, all of them at once, and no set comes of it.
#include <gtest/gtest.h>

#include "cmg290/tier_set.h"
#include "tier_set_files.h"

namespace cmg290::test {
namespace {

// Loads the directory, expecting a refusal; returns the problems as
// "FILE:LINE: reason" lines with the directory cut off the front.
std::vector<std::string> refusal(const SetDir& dir, bool allowDeviations = false) {
  std::vector<TierSetProblem> problems;
  EXPECT_EQ(dir.load(problems, allowDeviations), nullptr);
  EXPECT_FALSE(problems.empty());
  std::vector<std::string> out;
  for (const TierSetProblem& p : problems) {
    std::string text = problem_text(p);
    if (text.starts_with(dir.str() + "/")) text.erase(0, dir.str().size() + 1);
    out.push_back(text);
  }
  return out;
}

testing::AssertionResult Names(const std::vector<std::string>& problems, std::string_view what) {
  for (const std::string& p : problems) {
    if (p.find(what) != std::string::npos) return testing::AssertionSuccess();
  }
  auto failure = testing::AssertionFailure() << "no problem contains \"" << what << "\"; got";
  for (const std::string& p : problems) failure << "\n  " << p;
  return failure;
}

TEST(TierSetLoad, FilesOfTheDirectory) {
  SetDir dir;
  dir.write_compiled();
  fs::remove(dir.path() / "pair.csv");
  dir.write("notes.txt", "x");
  fs::create_directory(dir.path() / "old");
  const auto problems = refusal(dir);
  EXPECT_TRUE(Names(problems, "pair.csv: missing"));
  EXPECT_TRUE(Names(problems, "notes.txt: unexpected file"));
  EXPECT_TRUE(Names(problems, "old: unexpected file"));
  EXPECT_TRUE(Names(problems,
                    "notes.txt: unexpected file: a set holds the seven lists (single-2.40.csv, "
                    "single-2.50.csv, single-2.60.csv, single-2.82.csv, single-2.90.csv, pair.csv, "
                    "secondary.csv) and manifest.txt, nothing else"));

  // Files that editors leave are passed over with a note; any other still
  // refuses the set.
  SetDir edited;
  edited.write_compiled();
  const char* leftovers[] = {".~lock.single-2.90.csv#", "~$single-2.90.csv", "pair.csv.bak",
                             "single-2.40.csv~", ".hidden"};
  for (const char* name : leftovers) edited.write(name, "x");
  fs::permissions(edited.path() / ".~lock.single-2.90.csv#", fs::perms::none);
  std::vector<TierSetProblem> passed;
  const auto set = edited.load(passed);
  ASSERT_NE(set, nullptr) << problems_text(passed);
  ASSERT_EQ(set->notes().size(), 5u);
  for (const char* name : leftovers) {
    bool noted = false;
    for (const std::string& n : set->notes()) {
      noted = noted || (n.find(std::string("/") + name + ": passed over (") != std::string::npos);
    }
    EXPECT_TRUE(noted) << name;
  }
  EXPECT_EQ(set->digest(), TierSet::compiled()->digest());
  edited.write("single-2.90.csv.old", "x");
  EXPECT_TRUE(Names(refusal(edited), "single-2.90.csv.old: unexpected file"));

  // A directory that is not there, or a file in its place.
  std::vector<TierSetProblem> none;
  EXPECT_EQ(TierSet::load(dir.str() + "/absent", none), nullptr);
  ASSERT_EQ(none.size(), 1u);
  EXPECT_EQ(none[0].file, dir.str() + "/absent");
  EXPECT_NE(none[0].reason.find("cannot read the directory"), std::string::npos);
  none.clear();
  EXPECT_EQ(TierSet::load(dir.str() + "/notes.txt", none), nullptr);
  EXPECT_EQ(none.size(), 1u);

  // A list that is a directory, and an oversized one, are refused unread.
  SetDir other;
  other.write_compiled();
  fs::remove(other.path() / "secondary.csv");
  fs::create_directory(other.path() / "secondary.csv");
  other.write("pair.csv", std::string((8u << 20) + 1, '\n'));
  const auto unread = refusal(other);
  EXPECT_TRUE(Names(unread, "secondary.csv: is not a regular file"));
  EXPECT_TRUE(Names(unread, "pair.csv: is larger than 8 MiB"));
}

TEST(TierSetLoad, EveryFaultyRowIsNamed) {
  SetDir dir;
  dir.write_compiled();
  dir.set_line("single-2.40.csv", 5, "478.34,E,15");      // unknown tier
  dir.set_line("single-2.40.csv", 7, "V4X.0,B,");         // malformed code
  dir.set_line("single-2.40.csv", 9, "V44.0,B,");         // the code of line 7's row
  dir.set_line("single-2.40.csv", 12, "041.7,C,77");      // a RIC the grouper never assigns
  dir.set_line("single-2.50.csv", 1, "code,tier");        // wrong header
  dir.set_line("single-2.82.csv", 20, "R13.10,C,01,,");   // a field too many
  dir.set_line("single-2.82.csv", 21, "R13.11,C,01,no");  // an unknown placeholder mark
  dir.set_line("single-2.90.csv", 3, "J38.02345,B,15");   // too long
  dir.set_line("secondary.csv", 4, "\"B39.9^^^,D,15");    // quote not closed
  const auto problems = refusal(dir);
  EXPECT_TRUE(Names(problems, "single-2.40.csv:5: unknown tier \"E\""));
  EXPECT_TRUE(Names(problems, "single-2.40.csv:7: code \"V4X.0\" is not an ICD-9-CM code"));
  EXPECT_TRUE(Names(problems,
                    "single-2.40.csv:12: unknown RIC \"77\" in excluded RICs \"77\": the grouper "
                    "assigns RICs 01 to 21, and the documented lists exclude 01, 02, 03, 05, 06, "
                    "08, 09, 10, 11, 14 and 15"));
  EXPECT_TRUE(Names(problems, "single-2.50.csv:1: missing header"));
  EXPECT_TRUE(Names(problems, "single-2.82.csv:20: expected 4 fields"));
  EXPECT_TRUE(Names(problems, "single-2.82.csv:21: unknown word \"no\" in the placeholder column"));
  EXPECT_TRUE(Names(problems, "single-2.90.csv:3: code \"J38.02345\" is too long"));
  EXPECT_TRUE(Names(problems, "secondary.csv:4: a quoted field is not closed"));
  EXPECT_EQ(problems.size(), 8u);

  // Text after a closing quote, and a doubled quote inside a code.
  SetDir framing;
  framing.write_compiled();
  framing.set_line("single-2.90.csv", 2, "\"J38.01\"xB,");
  framing.set_line("single-2.90.csv", 3, "\"J3\"\"801\",B,");
  const auto framed = refusal(framing);
  EXPECT_TRUE(Names(framed, "single-2.90.csv:2: a quoted field is not closed, or is followed by"));
  EXPECT_TRUE(Names(framed, "single-2.90.csv:3: code \"J3\\x22801\" is not an ICD-10-CM code"));

  // A huge cell is quoted by its head and its length, not in full.
  SetDir huge;
  huge.write_compiled();
  huge.set_line("single-2.40.csv", 5, "478.34," + std::string(200000, 'Q') + ",15");
  const auto hugeProblems = refusal(huge);
  ASSERT_EQ(hugeProblems.size(), 1u);
  EXPECT_TRUE(
      Names(hugeProblems, "unknown tier \"" + std::string(60, 'Q') + "...\" (200000 bytes)"));
  EXPECT_LT(hugeProblems[0].size(), 200u);

  SetDir dup;
  dup.write_compiled();
  dup.set_line("single-2.40.csv", 9, "V44.0,B,");
  dup.set_line("pair.csv", 4, "B39.4,G02,D,\"3,5\"");
  EXPECT_TRUE(
      Names(refusal(dup), "single-2.40.csv:9: code \"V44.0\" is listed twice (first on line 7)"));
  EXPECT_TRUE(Names(refusal(dup), "pair.csv:4: pair \"B39.4^^^\", \"G02.^^^^\" is listed twice"));
}

// What the searches rely on is refused even when deviations are allowed.
TEST(TierSetLoad, BrokenStructureIsRefusedWhateverIsAllowed) {
  SetDir dir;
  dir.write_compiled();
  // Two D rows swapped, a D row among the B rows, a pair code in a single
  // list.
  const std::string a = dir.line("single-2.60.csv", 500), b = dir.line("single-2.60.csv", 501);
  dir.set_line("single-2.60.csv", 500, b);
  dir.set_line("single-2.60.csv", 501, a);
  dir.set_line("single-2.82.csv", 3, "J38.02,D,15");
  const std::string last = dir.line("single-2.90.csv", 1157);
  dir.set_line("single-2.90.csv", 1157, last + "\nK25.0,D,");
  for (const bool allow : {false, true}) {
    const auto problems = refusal(dir, allow);
    EXPECT_TRUE(Names(problems, "single-2.60.csv:501: code \"" + a.substr(0, a.find(',')) +
                                    "\" is out of ascending byte order"));
    EXPECT_TRUE(Names(problems, "single-2.82.csv:4: tier \"B\" follows tier \"D\""));
    EXPECT_TRUE(
        Names(problems, "single-2.90.csv:1158: code \"K25.0^^^\" also occurs in list pair.csv"));
  }
}

// Each list at the most entries a search holds loads (its deviations
// allowed); one more is refused.
TEST(TierSetLoad, EntryLimitsOfTheLists) {
  // Codes on no list, in ascending byte order.
  auto code = [](const char* head, int k) {
    return head + std::string(k < 10 ? "00" : k < 100 ? "0" : "") + std::to_string(k);
  };
  for (const int most : {60000, 4000, 255}) {
    SCOPED_TRACE(most);
    SetDir dir;
    dir.write_compiled();
    // The secondary codes must be pair codes: pairs of the secondary codes
    // and others, or a chain of 256 codes that the secondary list takes.
    std::vector<std::string> pairCodes;
    for (const std::string& line : dir.lines_of("secondary.csv")) {
      pairCodes.push_back(line.substr(0, line.find(',')));
    }
    pairCodes.erase(pairCodes.begin());
    std::string file = most == 60000 ? "single-2.40.csv" : "pair.csv";
    std::vector<std::string> rows;
    if (most == 60000) {
      for (int k = 0; k <= most; ++k) {
        const std::string digits = std::to_string(10000 + k);
        rows.push_back(digits.substr(0, 3) + "." + digits.substr(3) + ",D,");
      }
    } else if (most == 4000) {
      for (int k = 0; pairCodes.size() < 91; ++k) pairCodes.push_back(code("Y90.", k));
      for (std::size_t a = 0; a < 91; ++a) {
        for (std::size_t b = a + 1; b < 91; ++b) {
          rows.push_back(pairCodes[a] + "," + pairCodes[b] + ",D,");
        }
      }
    } else {
      std::string chain = "code_1,code_2,tier,excluded_rics\n";
      for (int k = 0; k < 255; ++k) chain += code("Y91.", k) + "," + code("Y91.", k + 1) + ",D,\n";
      dir.write("pair.csv", chain);
      file = "secondary.csv";
      for (int k = 0; k <= most; ++k) rows.push_back(code("Y91.", k) + ",D,");
    }
    const std::string header = dir.line(file, 1) + "\n";
    auto write_rows = [&](int n) {
      std::string text = header;
      for (int k = 0; k < n; ++k) text += rows[static_cast<std::size_t>(k)] + "\n";
      dir.write(file, text);
    };
    write_rows(most);
    std::vector<TierSetProblem> problems;
    const auto set = dir.load(problems, true);
    ASSERT_NE(set, nullptr) << problems_text(problems);
    write_rows(most + 1);
    EXPECT_TRUE(Names(refusal(dir, true), file + " holds " + std::to_string(most + 1) +
                                              " entries, more than the " + std::to_string(most) +
                                              " a search can hold"));
  }
}

TEST(TierSetLoad, DeviationsFromTheDocumentedContents) {
  SetDir dir;
  dir.write_compiled();
  // The last D row of 2.90 dropped, a fixed row of 2.40 changed, a pair
  // row's RICs changed.
  std::vector<std::string> lines = dir.lines_of("single-2.90.csv");
  lines.pop_back();
  std::string text;
  for (const std::string& l : lines) text += l + "\n";
  dir.write("single-2.90.csv", text);
  dir.set_line("single-2.40.csv", 2, "478.31,B,");
  dir.set_line("pair.csv", 3, "B39.4^^^,H32.^^^^,D,14");
  const auto problems = refusal(dir);
  EXPECT_TRUE(Names(problems, "single-2.90.csv: holds 1155 entries, expected 1156"));
  EXPECT_TRUE(Names(problems, "single-2.40.csv:2: holds \"478.31\" \"B\" \"\", expected"));
  EXPECT_TRUE(Names(problems, "pair.csv:3: holds \"B39.4^^^\" \"H32.^^^^\""));

  std::vector<TierSetProblem> none;
  const auto set = dir.load(none, true);
  ASSERT_NE(set, nullptr) << problems_text(none);
  EXPECT_EQ(set->entries(TierSetList::Single290), 1155);
  EXPECT_GE(set->deviations().size(), 3u);
  EXPECT_NE(set->identity().find("deviating in"), std::string::npos);
}

// A change is named once, at the entry changed, by the rule it breaks; the
// rows it displaces are not named.
TEST(TierSetLoad, DisplacementIsOneProblemNamingTheRule) {
  SetDir dir;
  dir.write_compiled();
  // Row 23 of 2.90 (line 24), the last C entry, moved to D: sorted in
  // after the D entries that precede it.
  std::vector<std::string> lines = dir.lines_of("single-2.90.csv");
  const std::string moved = lines[23];
  const std::string code = moved.substr(0, moved.find(','));
  lines.erase(lines.begin() + 23);
  std::size_t at = 24;
  while (at < lines.size() && lines[at].substr(0, lines[at].find(',')) < code) ++at;
  std::string d = moved;
  d.replace(code.size() + 1, 1, "D");
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), d);
  std::string text;
  for (const std::string& l : lines) text += l + "\n";
  dir.write("single-2.90.csv", text);
  auto problems = refusal(dir);
  ASSERT_EQ(problems.size(), 1u) << testing::PrintToString(problems);
  EXPECT_TRUE(Names(
      problems, "single-2.90.csv:" + std::to_string(at + 1) + ": holds \"" + code + "\" \"D\""));
  EXPECT_TRUE(Names(problems, "one of the rows every version holds; see"));
  EXPECT_TRUE(Names(problems, "docs/tier-sets.md"));

  // One row added to C: the added row, the entry count and the RIC count,
  // no row it displaces.
  SetDir added;
  added.write_compiled();
  lines = added.lines_of("single-2.90.csv");
  lines.insert(lines.begin() + 24, "Z99.9,C,");
  text.clear();
  for (const std::string& l : lines) text += l + "\n";
  added.write("single-2.90.csv", text);
  problems = refusal(added);
  EXPECT_EQ(problems.size(), 3u) << testing::PrintToString(problems);
  EXPECT_TRUE(Names(problems, "single-2.90.csv:25: code \"Z99.9^^^\" is added to tier \"C\""));
  EXPECT_TRUE(Names(problems, "single-2.90.csv: holds 1157 entries, expected 1156"));
  EXPECT_TRUE(Names(problems, "excluded-RIC list \"\" is carried by"));
}

// Two rows swapped in 2.82: the broken order is named there, and the 2.90
// list, untouched, is not blamed for differing from it.
TEST(TierSetLoad, BrokenOrderIsNotBlamedOnTheNextVersion) {
  SetDir dir;
  dir.write_compiled();
  const std::string a = dir.line("single-2.82.csv", 4), b = dir.line("single-2.82.csv", 5);
  dir.set_line("single-2.82.csv", 4, b);
  dir.set_line("single-2.82.csv", 5, a);
  const auto problems = refusal(dir);
  ASSERT_EQ(problems.size(), 1u) << testing::PrintToString(problems);
  EXPECT_TRUE(Names(problems, "single-2.82.csv:5: code"));
  EXPECT_TRUE(Names(problems, "is out of ascending byte order"));
}

// Any RIC the grouper assigns is read, and one the documented lists never
// exclude is a deviation, saying which they exclude.
TEST(TierSetLoad, RicTheGrouperAssignsIsADeviationAtMost) {
  SetDir dir;
  dir.write_compiled();
  dir.set_line("single-2.90.csv", 1150, dir.line("single-2.90.csv", 1150).substr(0, 9) + "D,16");
  const auto problems = refusal(dir);
  EXPECT_TRUE(Names(problems,
                    "single-2.90.csv:1150: excludes RIC \"16\", which the documented "
                    "lists never exclude (they exclude 01, 02, 03, 05"));
  EXPECT_FALSE(Names(problems, "unknown RIC"));
  std::vector<TierSetProblem> none;
  const auto set = dir.load(none, true);
  ASSERT_NE(set, nullptr) << problems_text(none);
  EXPECT_EQ(set->row(TierSetList::Single290, 1149).excludedRics, "16");
}

// A list saved with ";" or tabs gives one problem for the file.
TEST(TierSetLoad, OtherSeparatorIsNamedOnce) {
  SetDir dir;
  for (const char separator : {';', '\t'}) {
    dir.write_compiled();
    std::string text = dir.read("single-2.82.csv");
    for (char& c : text) c = c == ',' ? separator : c;
    dir.write("single-2.82.csv", text);
    const auto problems = refusal(dir);
    ASSERT_EQ(problems.size(), 1u) << testing::PrintToString(problems);
    EXPECT_TRUE(Names(problems, std::string("single-2.82.csv:1: the fields are separated by ") +
                                    (separator == ';' ? "\";\" (semicolons)" : "tabs") +
                                    ", not by commas"));
    EXPECT_TRUE(Names(problems, "field delimiter"));
  }
}

TEST(TierSetLoad, Manifest) {
  SetDir dir;
  dir.write_compiled();
  dir.write("manifest.txt",
            "# comment\n\nname = a\nname = b\ncolour = blue\nplaceholders = some\njust text\n"
            "name2=\n");
  const auto problems = refusal(dir);
  EXPECT_TRUE(Names(problems, "manifest.txt:4: \"name\" is given twice"));
  EXPECT_TRUE(Names(problems, "manifest.txt:5: unknown key \"colour\""));
  EXPECT_TRUE(Names(problems, "manifest.txt:6: placeholders must be"));
  EXPECT_TRUE(Names(problems, "manifest.txt:7: expected a \"key = value\" line"));
  EXPECT_TRUE(Names(problems, "manifest.txt:8: unknown key \"name2\""));
  dir.write("manifest.txt", "name = " + std::string(101, 'x') + "\n");
  EXPECT_TRUE(Names(refusal(dir), "manifest.txt:1: the name must be 1 to 100"));
  dir.write("manifest.txt", "name = tab\there\n");
  EXPECT_TRUE(Names(refusal(dir), "manifest.txt:1: the name must be"));
  dir.write("manifest.txt", "name = del\x7f\n");
  EXPECT_TRUE(Names(refusal(dir), "manifest.txt:1: the name must be"));
  dir.write("manifest.txt", "name = " + std::string(100, 'x') + "\n");
  std::vector<TierSetProblem> none;
  const auto longest = dir.load(none);
  ASSERT_NE(longest, nullptr) << problems_text(none);
  EXPECT_EQ(longest->name(), std::string(100, 'x'));
  // A manifest saved with Windows line ends reads as the same manifest.
  dir.write("manifest.txt", "# comment\r\n\r\nname = Windows set\r\n");
  const auto crlf = dir.load(none);
  ASSERT_NE(crlf, nullptr) << problems_text(none);
  EXPECT_EQ(crlf->name(), "Windows set");
}

}  // namespace
}  // namespace cmg290::test
