// cmg290 tables export and import, run end to end in a scratch folder.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int code;
  std::string out;
  std::string err;
};

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The lines of a data file that are not comments.
std::string entry_lines(const std::string& text) {
  std::istringstream in(text);
  std::string line, out;
  while (std::getline(in, line)) {
    if (!line.starts_with("//")) out += line + "\n";
  }
  return out;
}

class TablesCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/cmg290_tables_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  Outcome tool(const std::string& args) const {
    const std::string cmd = "cd '" + dir_.string() + "' && '" CMG290_CLI "' " + args + " >'" +
                            (dir_ / ".out").string() + "' 2>'" + (dir_ / ".err").string() + "'";
    const int status = std::system(cmd.c_str());
    Outcome o{WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(dir_ / ".out"),
              slurp(dir_ / ".err")};
    fs::remove(dir_ / ".out");
    fs::remove(dir_ / ".err");
    return o;
  }
  void write(const std::string& name, const std::string& text) const {
    std::ofstream(dir_ / name, std::ios::binary) << text;
  }

  fs::path dir_;
};

const fs::path kTierDir = fs::path(CMG290_SOURCE_DIR) / "src/tables/tier";

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
  write("bad.csv", "code,tier,excluded_rics\n478.31,B,15\n478.32,E,15\n478.33,B,3;4\n");
  const Outcome run = tool("tables import bad.csv --version 2.40 --list single");
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("bad.csv:3: unknown tier \"E\""), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("bad.csv:4: unknown RIC \"4\""), std::string::npos) << run.err;
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
  EXPECT_NE(changed.out.find("list 290s1 row 1156: code \"T87.44^^\" has tier \"C\" here"),
            std::string::npos)
      << changed.out;

  // A data file of the folder that is not entry lines is named, and the
  // compiled list stands in for it.
  write("tier/icd290s1.def", "ROW(broken\n");
  const Outcome full = tool("tables import list.csv --version 2.82 --list single --into tier");
  EXPECT_EQ(full.code, 0) << full.out << full.err;
  EXPECT_NE(full.err.find("icd290s1.def line 1: not a ROW line"), std::string::npos) << full.err;
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
