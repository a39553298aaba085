// cmg290 tables export and import, run end to end in a scratch folder.
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_fixture.h"

namespace cmg290::cli_test {
namespace {

// The lines of a data file that are not comments.
std::string entry_lines(const std::string& text) {
  std::istringstream in(text);
  std::string line, out;
  while (std::getline(in, line)) {
    if (!line.starts_with("//")) out += line + "\n";
  }
  return out;
}

using TablesCommand = CliTest;

const fs::path kTierDir = fs::path(kSourceDir) / "src/tables/tier";

// Export, then import: every list of every version comes back as the entry
// lines of its committed data file, byte for byte.
TEST_F(TablesCommand, ExportThenImportGivesTheCommittedEntries) {
  struct Case {
    const char* version;
    const char* list;
    const char* file;
  } cases[] = {
      {"2.40", "single", "icd240.def"},       {"2.50", "single", "icd250.def"},
      {"2.60", "single", "icd260.def"},       {"2.70", "single", "icd260.def"},
      {"2.82", "single", "icd281s1.def"},     {"2.90", "single", "icd290s1.def"},
      {"2.82", "pair", "pairs.def"},          {"2.90", "pair", "pairs.def"},
      {"2.82", "secondary", "secondary.def"}, {"2.90", "secondary", "secondary.def"},
  };
  for (const Case& c : cases) {
    const std::string what = std::string(c.version) + " " + c.list;
    const std::string args = std::string("--version ") + c.version + " --list " + c.list;
    const Outcome exported = tool("tables export " + args + " -o list.csv");
    ASSERT_EQ(exported.code, 0) << what << exported.err;
    EXPECT_EQ(tool("tables export " + args).out, slurp(dir_ / "list.csv")) << what;

    fs::create_directory(dir_ / "tier");
    const Outcome imported = tool("tables import list.csv " + args + " --into tier");
    EXPECT_EQ(imported.code, 0) << what << imported.out << imported.err;
    const std::string written = slurp(dir_ / "tier" / c.file);
    EXPECT_TRUE(written.starts_with("// Imported by `cmg290 tables import` from list.csv")) << what;
    const std::string committed = entry_lines(slurp(kTierDir / c.file));
    EXPECT_GT(committed.size(), 1000u);
    EXPECT_EQ(entry_lines(written), committed) << what;
    fs::remove_all(dir_ / "tier");
  }
}

TEST_F(TablesCommand, FaultyRowsAreReportedAndNothingIsWritten) {
  write("icd240.def", "earlier\n");
  write("bad.csv", "code,tier,excluded_rics\n478.31,B,15\n478.32,E,15\n478.33,B,3;50\n");
  const Outcome run = tool("tables import bad.csv --version 2.40 --list single");
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("bad.csv:3: unknown tier \"E\""), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("bad.csv:4: unknown RIC \"50\""), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("2 faulty lines in bad.csv; nothing written"), std::string::npos);
  EXPECT_EQ(slurp(dir_ / "icd240.def"), "earlier\n");

  write("noheader.csv", "478.31,B,15\n");
  EXPECT_EQ(tool("tables import noheader.csv --version 2.40 --list single").code, 2);
  EXPECT_EQ(slurp(dir_ / "icd240.def"), "earlier\n");
}

// The checks run over the data files of the target folder with the new list
// in place: a list that breaks them is written, and the violations give 1.
TEST_F(TablesCommand, ImportChecksTheTablesOfItsFolder) {
  fs::create_directory(dir_ / "tier");
  for (const auto& e : fs::directory_iterator(kTierDir)) {
    fs::copy_file(e.path(), dir_ / "tier" / e.path().filename());
  }
  ASSERT_EQ(tool("tables export --version 2.82 --list single -o list.csv").code, 0);
  std::string csv = slurp(dir_ / "list.csv");
  const std::size_t last = csv.rfind("T87.44^^");
  csv.erase(last);  // the list's last entry
  write("short.csv", csv);
  const Outcome run = tool("tables import short.csv --version 2.82 --list single --into tier");
  EXPECT_EQ(run.code, 1) << run.err;
  EXPECT_NE(run.out.find("list 281s1"), std::string::npos) << run.out;
  EXPECT_EQ(entry_lines(slurp(dir_ / "tier/icd281s1.def")).find("T87.44"), std::string::npos);

  // The other lists come from the folder: a tier changed in its 2.90 file
  // no longer agrees with the 2.82 list.
  std::string other = slurp(kTierDir / "icd290s1.def");
  const std::string from = "ROW(\"T87.44^^\", \"D\"";
  other.replace(other.find(from), from.size(), "ROW(\"T87.44^^\", \"C\"");
  write("tier/icd290s1.def", other);
  const Outcome changed = tool("tables import list.csv --version 2.82 --list single --into tier");
  EXPECT_EQ(changed.code, 1);
  EXPECT_NE(changed.out.find("list 290s1 row 1156: holds \"T87.44^^\" \"C\" \"09, 10, 11\", "
                             "expected \"T87.44^^\" \"D\""),
            std::string::npos)
      << changed.out;

  // A data file of the folder that is not entry lines is named, and the
  // compiled list stands in for it.
  write("tier/icd290s1.def", "ROW(broken\n");
  const Outcome full = tool("tables import list.csv --version 2.82 --list single --into tier");
  EXPECT_EQ(full.code, 0) << full.out << full.err;
  EXPECT_NE(full.err.find("icd290s1.def line 1: not a ROW line"), std::string::npos) << full.err;
}

// How many times `part` occurs in `text`; each one replaced by `by`.
int replace_all(std::string& text, const std::string& part, const std::string& by) {
  int n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at)) {
    text.replace(at, part.size(), by);
    at += by.size();
    ++n;
  }
  return n;
}

// The checks compare the RICs an excluded-RIC list names: a 2.90 list whose
// I60 entries are written "1;2;3" (no trailing blank, unlike the compiled
// list) and a last entry whose RICs come in another order passes them.
TEST_F(TablesCommand, ImportedRicListsNamingTheSameRicsPassTheChecks) {
  ASSERT_EQ(tool("tables export --version 2.90 --list single -o list.csv").code, 0);
  std::string csv = slurp(dir_ / "list.csv");
  EXPECT_EQ(replace_all(csv, ",\"01, 02, 03 \"\n", ",1;2;3\n"), 10);
  EXPECT_EQ(replace_all(csv, "T87.44^^,D,\"09, 10, 11\"\n", "T87.44^^,D,11; 10;9\n"), 1);
  write("lenient.csv", csv);
  fs::create_directory(dir_ / "tier");
  const Outcome run = tool("tables import lenient.csv --version 2.90 --list single --into tier");
  EXPECT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("tier tables with the imported list: all checks passed"),
            std::string::npos)
      << run.err;
  const std::string written = slurp(dir_ / "tier/icd290s1.def");
  EXPECT_NE(written.find("ROW(\"I60.4^^^\", \"D\", \"01, 02, 03\")\n"), std::string::npos);
  EXPECT_NE(written.find("ROW(\"T87.44^^\", \"D\", \"11, 10, 09\")\n"), std::string::npos);

  // Other RICs still fail: an I60 entry that no longer excludes RIC 03.
  replace_all(csv, "I60.4^^^,D,1;2;3\n", "I60.4^^^,D,1;2\n");
  write("fewer.csv", csv);
  const Outcome fewer = tool("tables import fewer.csv --version 2.90 --list single --into tier");
  EXPECT_EQ(fewer.code, 1);
  EXPECT_NE(fewer.out.find("code \"I60.4^^^\" must carry \"01, 02, 03\""), std::string::npos)
      << fewer.out;
}

// The pair and the secondary list are one data file each, compiled into the
// columns of both 2.82 and 2.90: an import must put the new list in for both
// versions before the checks run, so that each version's checks see it.
TEST_F(TablesCommand, PairAndSecondaryImportsStandForBothVersions) {
  struct Case {
    const char* list;
    const char* row1;     // row 1 as exported
    const char* changed;  // with its tier changed
    const char* names[2];
  } cases[] = {
      {"secondary", "B39.4^^^,D,15\n", "B39.4^^^,C,15\n", {"list 281s2 row 1", "list 290s2 row 1"}},
      {"pair",
       "B39.4^^^,G02.^^^^,D,\"03, 05\"\n",
       "B39.4^^^,G02.^^^^,C,\"03, 05\"\n",
       {"list 281c row 1", "list 290c row 1"}},
  };
  for (const Case& c : cases) {
    const std::string args = std::string("--version 2.90 --list ") + c.list;
    ASSERT_EQ(tool("tables export " + args + " -o list.csv").code, 0) << c.list;
    std::string csv = slurp(dir_ / "list.csv");
    ASSERT_EQ(replace_all(csv, c.row1, c.changed), 1) << c.list;
    write("changed.csv", csv);
    for (const char* version : {"2.82", "2.90"}) {
      fs::create_directory(dir_ / "tier");
      const Outcome run = tool(std::string("tables import changed.csv --version ") + version +
                               " --list " + c.list + " --into tier");
      EXPECT_EQ(run.code, 1) << c.list << " " << version << run.err;
      for (const char* name : c.names) {
        const std::string expected = std::string(name) + ": holds \"B39.4^^^\"";
        EXPECT_NE(run.out.find(expected), std::string::npos)
            << c.list << " " << version << ": " << expected << " in\n"
            << run.out;
      }
      // Both versions' columns hold the same list, so they still agree.
      EXPECT_EQ(run.out.find("differs from"), std::string::npos) << run.out;
      fs::remove_all(dir_ / "tier");
    }
  }
}

// A reader that has gone away is no failure of the export: exit 0, nothing on
// standard error.
TEST_F(TablesCommand, ExportIntoAClosedPipeEndsQuietly) {
  for (const char* list : {"single", "pair"}) {
    const Outcome run =
        tool_into_closed_pipe({"tables", "export", "--version", "2.90", "--list", list});
    EXPECT_EQ(run.code, 0) << list << ": " << run.err;
    EXPECT_EQ(run.err, "") << list;
  }
}

// The same holds for an import whose data file is a link to a closed pipe:
// the run stops quietly, as every subcommand does, rather than failing with
// an empty message.
TEST_F(TablesCommand, ImportIntoAClosedPipeEndsQuietly) {
  write("l.csv", tool("tables export --version 2.90 --list single").out);
  fs::create_directory(dir_ / "into");
  fs::create_symlink("/dev/stdout", dir_ / "into/icd290s1.def");
  const Outcome run =
      tool_into_closed_pipe({"tables", "import", (dir_ / "l.csv").string(), "--version", "2.90",
                             "--list", "single", "--into", (dir_ / "into").string()});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.err, "");
}

TEST_F(TablesCommand, CountsOfOneAreSingular) {
  write("one.csv", "code,tier,excluded_rics\nB39.4^^^,D,15\n");
  const Outcome run = tool("tables import one.csv --version 2.90 --list secondary");
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("cmg290: wrote ./secondary.def (1 entry)\n"), std::string::npos)
      << run.err;
  EXPECT_NE(slurp(dir_ / "secondary.def").find(", 1 entry.\n"), std::string::npos);
  // The import is checked: the list is 47 entries short.
  EXPECT_NE(run.out.find("list 290s2"), std::string::npos);
}

TEST_F(TablesCommand, BadChoicesAreFatal) {
  for (const char* bad :
       {"tables export --version 2.40 --list pair", "tables export --version 2.91 --list single",
        "tables export --version 2.90 --list triple", "tables export --list single",
        "tables import missing.csv --version 2.90 --list single",
        "tables export --version 2.90 --list single -o /nonexistent/x.csv"}) {
    const Outcome run = tool(bad);
    EXPECT_EQ(run.code, 2) << bad;
    EXPECT_NE(run.err, "") << bad;
    EXPECT_EQ(run.out, "") << bad;
  }
  write("l.csv", "code,tier,excluded_rics\n");
  EXPECT_EQ(tool("tables import l.csv --version 2.90 --list single --into /nonexistent").code, 2);
}

}  // namespace
}  // namespace cmg290::cli_test
