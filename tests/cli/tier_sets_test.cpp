// cmg290 tables export --all, tables check DIR and tables import into a
// tier-table set, run end to end.
#include <set>

#include "cli/cli_fixture.h"
#include "cmg290/tier_set.h"

namespace cmg290::cli_test {
namespace {

const std::vector<std::string> kSetFiles = {"manifest.txt",    "pair.csv",        "secondary.csv",
                                            "single-2.40.csv", "single-2.50.csv", "single-2.60.csv",
                                            "single-2.82.csv", "single-2.90.csv"};

std::vector<std::string> names_in(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// Every file of a directory with its bytes.
std::map<std::string, std::string> contents(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::directory_iterator(dir)) files[e.path().filename()] = slurp(e.path());
  return files;
}

std::shared_ptr<const TierSet> load(const fs::path& dir, bool allowDeviations = false) {
  std::vector<TierSetProblem> problems;
  TierSetOptions options;
  options.allowDeviations = allowDeviations;
  return TierSet::load(dir.string(), problems, options);
}

using TierSetCommands = CliTest;

TEST_F(TierSetCommands, ExportAllWritesASetThatChecksAsTheCompiledIn) {
  const Outcome exported = tool("tables export --all set");
  ASSERT_EQ(exported.code, 0) << exported.err;
  EXPECT_EQ(names_in(path("set")), kSetFiles);
  const auto set = load(path("set"));
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(set->digest(), TierSet::compiled()->digest());

  const Outcome checked = tool("tables check set");
  EXPECT_EQ(checked.code, 0) << checked.out << checked.err;
  const std::vector<std::string> lines = lines_of(checked.out);
  ASSERT_EQ(lines.size(), 8u) << checked.out;
  // The copy is named after its directory, not "compiled-in".
  EXPECT_EQ(lines[0], "set sha256:" + TierSet::compiled()->digest());
  EXPECT_EQ(set->identity(), lines[0]);
  EXPECT_FALSE(set->is_compiled());
  EXPECT_EQ(trim(lines[7]).rfind("secondary.csv", 0), 0u) << lines[7];
  EXPECT_NE(checked.out.find(std::to_string(set->entries(TierSetList::Single290)) + " entries"),
            std::string::npos);
  EXPECT_NE(checked.out.find("placeholder"), std::string::npos);

  // Again into the set it wrote: refused, naming every file it would
  // replace, the edits kept; with --force its files are replaced.
  write("set/pair.csv", "edited\n");
  const Outcome again = tool("tables export --all set");
  EXPECT_EQ(again.code, 2);
  EXPECT_NE(again.err.find("export would replace manifest.txt, pair.csv, secondary.csv, "
                           "single-2.40.csv, single-2.50.csv, single-2.60.csv, single-2.82.csv, "
                           "single-2.90.csv. Nothing written: give --force"),
            std::string::npos)
      << again.err;
  EXPECT_EQ(read("set/pair.csv"), "edited\n");
  const Outcome forced = tool("tables export --all set --force");
  EXPECT_EQ(forced.code, 0) << forced.err;
  EXPECT_NE(forced.err.find("cmg290: replaced manifest.txt, pair.csv,"), std::string::npos);
  EXPECT_EQ(load(path("set"))->digest(), TierSet::compiled()->digest());
  EXPECT_EQ(tool("tables export --version 2.90 --list single --force").code, 2);
}

// tables check shows what loading passed over or noticed: an editor's lock
// file, the rows whose disclosure is cleared (FILE:LINE), a manifest key no
// longer honoured; a list saved with ";" is named once.
TEST_F(TierSetCommands, CheckShowsNotesAndClearedRows) {
  ASSERT_EQ(tool("tables export --all set").code, 0);
  write("set/.~lock.single-2.90.csv#", "lock");
  write("set/manifest.txt", "name = signed\nplaceholders = none\n");
  std::vector<std::string> rows = lines_of(read("set/single-2.90.csv"));
  ASSERT_TRUE(rows[27].ends_with(",placeholder")) << rows[27];
  const std::string code = rows[27].substr(0, rows[27].find(','));
  rows[27] = rows[27].substr(0, rows[27].rfind(',')) + ",official";
  std::string text;
  for (const std::string& r : rows) text += r + "\n";
  write("set/single-2.90.csv", text);

  const Outcome checked = tool("tables check set");
  EXPECT_EQ(checked.code, 0) << checked.out << checked.err;
  EXPECT_NE(checked.out.find("single-2.90.csv   1156 entries, 897 placeholders, 1 cleared (marked "
                             "official)\n"),
            std::string::npos)
      << checked.out;
  EXPECT_NE(checked.out.find("\nnotes: 3\n"), std::string::npos) << checked.out;
  for (const std::string& note :
       {std::string("set/.~lock.single-2.90.csv#: passed over (a spreadsheet's lock file)"),
        "set/single-2.90.csv:28: placeholder code " + code +
            " marked official: its disclosure is cleared",
        std::string("set/manifest.txt:2: \"placeholders = none\" is no longer honoured")}) {
    EXPECT_NE(checked.out.find("\n  " + note), std::string::npos) << note << "\n" << checked.out;
  }

  std::string semicolons = read("set/pair.csv");
  for (char& c : semicolons) c = c == ',' ? ';' : c;
  write("set/pair.csv", semicolons);
  const Outcome refused = tool("tables check set");
  EXPECT_EQ(refused.code, 1);
  EXPECT_EQ(lines_of(refused.out).size(), 1u) << refused.out;
  EXPECT_NE(refused.out.find("set/pair.csv:1: the fields are separated by \";\" (semicolons)"),
            std::string::npos)
      << refused.out;
}

TEST_F(TierSetCommands, ExportAllLeavesADirectoryWithOtherFilesAlone) {
  fs::create_directory(path("mine"));
  write("mine/notes.txt", "mine\n");
  const Outcome run = tool("tables export --all mine");
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("notes.txt"), std::string::npos) << run.err;
  EXPECT_EQ(names_in(path("mine")), std::vector<std::string>{"notes.txt"});
  write("file", "x");
  EXPECT_EQ(tool("tables export --all file").code, 2);
  EXPECT_EQ(tool("tables export --all s --version 2.90").code, 2);
  EXPECT_FALSE(fs::exists(path("s")));
}

// Each fault is named by file and line; the run exits 1 (2 for a directory
// that cannot be read at all), and a set with deviations passes only when
// they are allowed.
TEST_F(TierSetCommands, CheckNamesEveryFaultByFileAndLine) {
  ASSERT_EQ(tool("tables export --all set").code, 0);
  std::string single = read("set/single-2.90.csv");
  const std::size_t line3 = single.find('\n', single.find('\n') + 1) + 1;
  single.replace(line3, single.find(',', line3) - line3, "J3$.01");  // malformed code
  write("set/single-2.90.csv", single);
  std::string early = read("set/single-2.40.csv");
  early.replace(0, early.find('\n'), "code,tier");  // wrong header
  write("set/single-2.40.csv", early);
  // A duplicate: line 3 repeats line 2.
  std::vector<std::string> rows = lines_of(read("set/single-2.50.csv"));
  rows.insert(rows.begin() + 2, rows[1]);
  std::string text;
  for (const std::string& r : rows) text += r + "\n";
  write("set/single-2.50.csv", text);
  fs::remove(path("set/secondary.csv"));
  write("set/extra.csv", "");
  const Outcome run = tool("tables check set");
  EXPECT_EQ(run.code, 1) << run.err;
  for (const std::string part :
       {"set/single-2.90.csv:3: ", "set/single-2.40.csv:1: ", "set/secondary.csv: missing",
        "set/extra.csv: unexpected file", "set/single-2.50.csv:3: "}) {
    EXPECT_NE(run.out.find(part), std::string::npos) << part << " in\n" << run.out;
  }
  EXPECT_EQ(run.err,
            "tier-table set set: " + std::to_string(lines_of(run.out).size()) + " problems\n");

  // The checks of the whole set run once every file reads: a broken order
  // (the last pair, a D entry, moved up to line 2).
  ASSERT_EQ(tool("tables export --all set2").code, 0);
  rows = lines_of(read("set2/pair.csv"));
  rows.insert(rows.begin() + 1, rows.back());
  rows.pop_back();
  text.clear();
  for (const std::string& r : rows) text += r + "\n";
  write("set2/pair.csv", text);
  const Outcome order = tool("tables check set2");
  EXPECT_EQ(order.code, 1);
  EXPECT_NE(order.out.find("set2/pair.csv:2: "), std::string::npos) << order.out;

  // A list that ends on a placeholder row: the row is counted.
  const auto compiled = TierSet::compiled();
  const TierSetList l290 = TierSetList::Single290;
  int last = 0, marked = 0;
  for (int r = 1; r <= compiled->entries(l290); ++r) {
    if (compiled->is_placeholder(l290, r)) last = r, ++marked;
  }
  ASSERT_EQ(tool("tables export --all set3").code, 0);
  rows = lines_of(read("set3/single-2.90.csv"));
  rows.resize(static_cast<std::size_t>(last) + 1);
  text.clear();
  for (const std::string& r : rows) text += r + "\n";
  write("set3/single-2.90.csv", text);
  const Outcome ending = tool("tables check --allow-deviations set3");
  EXPECT_EQ(ending.code, 0) << ending.err;
  const std::string counted =
      std::to_string(last) + " entries, " + std::to_string(marked) + " placeholders\n";
  EXPECT_NE(ending.out.find("single-2.90.csv  " +
                            std::string(5 - std::to_string(last).size(), ' ') + counted),
            std::string::npos)
      << ending.out;

  EXPECT_EQ(tool("tables check missing-dir").code, 2);
  EXPECT_EQ(tool("tables check --allow-deviations").code, 2);
}

TEST_F(TierSetCommands, ImportIntoASetReplacesOnlyThatListAndKeepsItLoading) {
  ASSERT_EQ(tool("tables export --all set").code, 0);
  const auto before = contents(path("set"));
  ASSERT_EQ(tool("tables export --version 2.90 --list single -o l.csv").code, 0);

  // The same entries in lenient form and another order: the same bytes.
  std::vector<std::string> rows = lines_of(read("l.csv"));
  std::string lenient = rows[0] + "\n";
  for (std::size_t i = rows.size() - 1; i >= 1; --i) {
    std::string r = rows[i];
    if (const std::size_t caret = r.find('^'); caret != std::string::npos && caret < r.find(',')) {
      r.erase(caret, r.find(',') - caret);
    }
    lenient += r + "\n";
  }
  write("lenient.csv", lenient);
  const Outcome same = tool("tables import lenient.csv --version 2.90 --list single --into set");
  EXPECT_EQ(same.code, 0) << same.err;
  EXPECT_EQ(contents(path("set")), before);
  EXPECT_NE(same.err.find(TierSet::compiled()->digest()), std::string::npos) << same.err;

  // A tier moved from B to D deviates: refused, nothing changes, the
  // problems of the list name the input file.
  std::string changed = read("l.csv");
  const std::size_t at = changed.find("J38.01^^,B,");
  ASSERT_NE(at, std::string::npos);
  changed[at + 9] = 'D';
  write("changed.csv", changed);
  const Outcome refused = tool("tables import changed.csv --version 2.90 --list single --into set");
  EXPECT_EQ(refused.code, 2);
  EXPECT_NE(refused.err.find("changed.csv:"), std::string::npos) << refused.err;
  EXPECT_EQ(refused.err.find("set/single-2.90.csv:"), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("nothing changed"), std::string::npos) << refused.err;
  EXPECT_EQ(refused.err.find("cmg290-import."), std::string::npos) << refused.err;
  EXPECT_EQ(contents(path("set")), before);

  // Allowed, only that list's file changes, and the set loads as changed.
  const Outcome allowed =
      tool("tables import changed.csv --version 2.90 --list single --into set --allow-deviations");
  EXPECT_EQ(allowed.code, 0) << allowed.err;
  const auto after = contents(path("set"));
  for (const auto& [name, text] : before) {
    EXPECT_EQ(after.at(name) == text, name != "single-2.90.csv") << name;
  }
  EXPECT_EQ(after.size(), before.size());
  EXPECT_EQ(load(path("set")), nullptr);
  const auto set = load(path("set"), true);
  ASSERT_NE(set, nullptr);
  EXPECT_NE(set->digest(), TierSet::compiled()->digest());
  EXPECT_EQ(tool("tables check set").code, 1);
  const Outcome deviating = tool("tables check set --allow-deviations");
  EXPECT_EQ(deviating.code, 0) << deviating.out;
  EXPECT_NE(deviating.out.find("deviations allowed: "), std::string::npos) << deviating.out;

  // A faulty row: nothing changes either.
  write("bad.csv", "code,tier,excluded_rics\nJ38.01,E,\n");
  const auto now = contents(path("set"));
  const Outcome bad = tool("tables import bad.csv --version 2.90 --list single --into set");
  EXPECT_EQ(bad.code, 2);
  EXPECT_NE(bad.err.find("bad.csv:2: unknown tier"), std::string::npos) << bad.err;
  EXPECT_EQ(contents(path("set")), now);
  EXPECT_EQ(tool("tables import l.csv --version 2.90 --list single --allow-deviations").code, 2);
}

// The input's lines are not the set's: it is read in any order, with blank
// lines. Each problem of an imported list points at the input line that
// holds the entry it names.
TEST_F(TierSetCommands, ImportProblemsCiteTheLinesOfTheInputFile) {
  ASSERT_EQ(tool("tables export --all set").code, 0);
  ASSERT_EQ(tool("tables export --version 2.90 --list single -o l.csv").code, 0);
  std::vector<std::string> rows = lines_of(read("l.csv"));
  std::string input = rows[0] + "\n\n";
  for (std::size_t i = rows.size() - 1; i >= 1; --i) {
    std::string r = rows[i];
    if (r.starts_with("J38.01^^,B,")) r[9] = 'D';  // deviates: refused
    input += r + "\n";
  }
  write("in.csv", input);
  const std::vector<std::string> inputLines = lines_of(input);
  const Outcome run = tool("tables import in.csv --version 2.90 --list single --into set");
  EXPECT_EQ(run.code, 2);
  int cited = 0;
  for (const std::string& l : lines_of(run.err)) {
    EXPECT_FALSE(l.starts_with("set/single-2.90.csv")) << l;
    if (!l.starts_with("in.csv:")) continue;
    const int line = std::stoi(l.substr(7));
    if (line == 0) continue;  // the whole file
    ASSERT_LE(line, static_cast<int>(inputLines.size())) << l;
    // The reason names codes; the first is the entry's own.
    const std::string& entry = inputLines[line - 1];
    const std::string code = entry.substr(0, entry.find(','));
    EXPECT_NE(l.find(code), std::string::npos) << l << " / line " << line << ": " << entry;
    ++cited;
  }
  EXPECT_GT(cited, 0) << run.err;
}

}  // namespace
}  // namespace cmg290::cli_test
