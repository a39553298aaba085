// `cmg290 group` and `cmg290 explain` with --tier-tables: a set written
// from the compiled-in lists groups byte for byte alike, a changed set
// changes the results, a faulty set is refused before anything is read or
// written, and the set and its placeholder rows are disclosed.
#include "cli/cli_fixture.h"

namespace cmg290::cli_test {
namespace {

// A record whose tier letter comes from a placeholder row of the compiled-in
// 2.90 single-code list (one that excludes no RIC), and one from an
// official row (Z99.2, row 6, tier B).
std::string placeholder_code() {
  const auto set = TierSet::compiled();
  for (int r = 1; r <= set->entries(TierSetList::Single290); ++r) {
    const TierSetRow row = set->row(TierSetList::Single290, r);
    if (set->is_placeholder(TierSetList::Single290, r) && row.excludedRics == " ") {
      return std::string(row.code);
    }
  }
  ADD_FAILURE() << "no placeholder row";
  return {};
}

std::string placeholder_record() {
  return RecordBuilder::valid().comorbid(2, placeholder_code()).str();
}

std::string official_record() {
  return RecordBuilder::valid().comorbid(1, "Z99.2^^^").str();
}

class TierSetCli : public CliTest {
 protected:
  // The compiled-in set written into the folder `name`, with a manifest of
  // these lines.
  void write_set(const std::string& name, const std::string& manifest = "") const {
    std::string error;
    ASSERT_TRUE(TierSet::compiled()->write(path(name).string(), error)) << error;
    if (!manifest.empty()) write(name + "/manifest.txt", manifest);
  }
  // The set `name` with the disclosure of placeholder_record()'s row
  // cleared: "official" in its placeholder column.
  void write_cleared_set(const std::string& name, const std::string& manifest) const {
    write_set(name, manifest);
    const std::string code = placeholder_code();
    replace_line(name + "/single-2.90.csv", code + ",", code + ",D,,official");
  }
  // Replaces the line of a set's file that starts with `start`.
  void replace_line(const std::string& file, const std::string& start,
                    const std::string& text) const {
    std::string out;
    bool found = false;
    for (const std::string& line : lines_of(read(file))) {
      const bool hit = line.rfind(start, 0) == 0;
      found = found || hit;
      out += (hit ? text : line) + "\n";
    }
    ASSERT_TRUE(found) << start << " in " << file;
    write(file, out);
  }
};

TEST_F(TierSetCli, ExportedSetGroupsAsTheCompiledInLists) {
  write_set("set");
  ASSERT_EQ(tool("sample --count 3000 --seed 11 -o in.txt").code, 0);
  for (const std::string args : {"-f csv", "-f fixed --id 12:10", "-f csv -j 3 --strict"}) {
    const Outcome compiled = tool("group -q " + args + " in.txt");
    const Outcome loaded = tool("group -q --tier-tables set " + args + " in.txt");
    EXPECT_EQ(loaded.code, 0) << loaded.err;
    EXPECT_EQ(loaded.out, compiled.out) << args;
  }
  // JSON Lines: the same rows but for the member naming the set: the same
  // lists have the same digest, under the name the manifest gives.
  const std::string digest = TierSet::compiled()->digest();
  write("set/manifest.txt", "name = copy\n");
  std::string loaded = tool("group -q -f jsonl --tier-tables set in.txt").out;
  const std::string copyMember = ",\"tier_set\":{\"name\":\"copy\",\"sha256\":\"" + digest +
                                 "\",\"compiled_in\":false,\"placeholders\":true,"
                                 "\"deviations\":[]}}";
  for (std::size_t at = 0; (at = loaded.find(copyMember, at)) != std::string::npos;) {
    loaded.replace(at, copyMember.size(), kCompiledSetMember + "}");
  }
  EXPECT_EQ(loaded, tool("group -q -f jsonl in.txt").out);
  EXPECT_EQ(lines_of(loaded).size(), 3000u);
}

// Row 6 of the 2.90 single-code list ("Z99.2", tier B) made to exclude RIC
// 01: a record of RIC 01 holding that code alone gets tier A. The documented
// excluded-RIC counts then differ, which only --allow-deviations accepts.
TEST_F(TierSetCli, ChangedSetChangesTheResults) {
  write_set("set", "name = changed\n");
  replace_line("set/single-2.90.csv", "Z99.2", "Z99.2,B,01");
  write("in.txt", official_record() + "\n" + placeholder_record() + "\n");

  const Outcome refused = tool("group -q --tier-tables set in.txt");
  EXPECT_EQ(refused.code, 2);
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(refused.err.rfind("cmg290: the tier-table set in set cannot be used:\n", 0), 0u)
      << refused.err;
  EXPECT_TRUE(refused.err.ends_with(
      "\ncmg290: these are deviations from the documented contents of the lists; "
      "--allow-deviations takes them\n"))
      << refused.err;

  const Outcome run = tool("group -q --tier-tables set --allow-deviations in.txt");
  ASSERT_EQ(run.code, 0) << run.err;
  const auto rows = parse_csv(run.out);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1][3], "A0102");
  EXPECT_EQ(rows[2][3], "D0102");
  EXPECT_EQ(parse_csv(tool("group -q in.txt").out)[1][3], "B0102");

  // The summary names the set and its deviation.
  const Outcome summary = tool("group --tier-tables set --allow-deviations in.txt -o out.csv");
  EXPECT_NE(summary.err.find("\n  tier-table set changed sha256:"), std::string::npos)
      << summary.err;
  EXPECT_NE(summary.err.find(", deviating in "), std::string::npos) << summary.err;

  const Outcome explained = tool("explain --tier-tables set --allow-deviations --line 1 in.txt");
  EXPECT_EQ(explained.code, 0) << explained.err;
  EXPECT_NE(explained.out.find("skipped, its excluded RICs hold the record's RIC"),
            std::string::npos)
      << explained.out;
  EXPECT_EQ(tool("group --allow-deviations in.txt").code, 2) << "needs --tier-tables";
}

TEST_F(TierSetCli, FaultySetIsRefusedWithEveryProblemAndNothingIsWritten) {
  write_set("set");
  replace_line("set/single-2.40.csv", "011.00", "011.00,E, ");
  fs::remove(path("set/pair.csv"));
  write("in.txt", official_record() + "\n");
  for (const std::string command : {"group", "explain"}) {
    write("out.txt", "earlier\n");
    // The input does not exist: the set is refused before inputs are opened.
    const Outcome run = tool(command + " --tier-tables set -o out.txt in.txt missing.txt");
    EXPECT_EQ(run.code, 2) << command;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(read("out.txt"), "earlier\n") << command;
    const auto lines = lines_of(run.err);
    ASSERT_GE(lines.size(), 3u) << run.err;
    EXPECT_EQ(lines[0], "cmg290: the tier-table set in set cannot be used:") << run.err;
    // More than deviations stand in the way: no hint at --allow-deviations.
    EXPECT_EQ(run.err.find("--allow-deviations"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("missing.txt"), std::string::npos) << run.err;
    // Every problem on a line of its own, as FILE:LINE: reason.
    bool tierLine = false, pairFile = false;
    for (std::size_t i = 1; i < lines.size(); ++i) {
      tierLine = tierLine || lines[i].rfind("set/single-2.40.csv:", 0) == 0;
      pairFile = pairFile || lines[i].find("pair.csv") != std::string::npos;
    }
    EXPECT_TRUE(tierLine && pairFile) << run.err;
  }
  const Outcome missing = tool("group --tier-tables nothing in.txt");
  EXPECT_EQ(missing.code, 2);
  EXPECT_NE(missing.err.find("nothing: cannot read the directory"), std::string::npos)
      << missing.err;
}

// Every subcommand that takes a set refuses one in the same words, naming
// the side where it takes two, and hints at --allow-deviations when only
// deviations stand in the way; each exits with 2.
TEST_F(TierSetCli, EverySubcommandRefusesASetInTheSameWords) {
  write_set("set");
  replace_line("set/single-2.90.csv", "Z99.2", "Z99.2,B,01");
  write("in.txt", official_record() + "\n");
  const std::string hint =
      ": these are deviations from the documented contents of the lists; --allow-deviations "
      "takes them\n";
  const std::vector<std::pair<std::string, std::string>> runs = {
      {"group -q --tier-tables set in.txt", "cmg290: the tier-table set"},
      {"explain --tier-tables set in.txt", "cmg290: the tier-table set"},
      {"compare --tier-tables set in.txt", "cmg290: the new tier-table set"},
      {"compare --tier-tables set --tier-tables set in.txt", "cmg290: the old tier-table set"},
      {"tables diff set compiled-in", "cmg290: the old tier-table set"},
      {"tables diff compiled-in set", "cmg290: the new tier-table set"},
      {"serve --listen 127.0.0.1:0 --tier-tables set", "cmg290 serve: the tier-table set"},
  };
  for (const auto& [command, first] : runs) {
    const Outcome run = tool(command);
    EXPECT_EQ(run.code, 2) << command;
    EXPECT_EQ(run.out, "") << command;
    const std::string who = first.substr(0, first.find(':'));
    EXPECT_EQ(run.err.rfind(first + " in set cannot be used:\nset/single-2.90.csv:", 0), 0u)
        << command << "\n"
        << run.err;
    EXPECT_TRUE(run.err.ends_with("\n" + who + hint)) << command << "\n" << run.err;
  }
  // Allowed or pinned, the deviations are taken; a pin of another digest is
  // refused without the hint, which would not help.
  EXPECT_EQ(tool("compare -q --tier-tables set --allow-deviations in.txt").code, 0);
  const Outcome pinned = tool("group --tier-tables set --tier-tables-sha256 " +
                              TierSet::compiled()->digest() + " in.txt");
  EXPECT_EQ(pinned.code, 2);
  EXPECT_EQ(pinned.err.rfind("cmg290: the tier-table set in set cannot be used:\n", 0), 0u)
      << pinned.err;
  EXPECT_EQ(pinned.err.find(hint), std::string::npos) << pinned.err;
  // The options go together on every subcommand that takes them.
  for (const std::string command : {"group", "explain", "serve"}) {
    const Outcome alone = tool(command + " --allow-deviations");
    EXPECT_EQ(alone.code, 2) << command;
    EXPECT_NE(alone.err.find("--allow-deviations requires --tier-tables"), std::string::npos)
        << command << "\n"
        << alone.err;
  }
}

TEST_F(TierSetCli, PlaceholderTiersAreCountedAndCanFailTheRun) {
  write("in.txt", official_record() + "\n" + placeholder_record() + "\n" + placeholder_record() +
                      "\n" + RecordBuilder::valid().str() + "\n");
  const std::string label = "tier letter from placeholder rows:";

  const Outcome compiled = tool("group in.txt -o out.csv");
  EXPECT_EQ(compiled.code, 0) << compiled.err;
  EXPECT_EQ(summary_count(compiled.err, label), 2) << compiled.err;
  EXPECT_NE(compiled.err.find(label + " 2 records (compiled-in lists hold placeholders; see "
                                      "--tier-tables)\n"),
            std::string::npos)
      << compiled.err;
  EXPECT_NE(compiled.err.find("\n  tier-table set " + TierSet::compiled()->identity() + "\n"),
            std::string::npos)
      << compiled.err;
  const std::string expected = read("out.csv");

  // The output is written in full all the same; quiet or not.
  for (const std::string quiet : {"", "-q "}) {
    fs::remove(path("out.csv"));
    const Outcome failed = tool("group " + quiet + "--fail-on-placeholder in.txt -o out.csv");
    EXPECT_EQ(failed.code, 1) << failed.err;
    EXPECT_EQ(read("out.csv"), expected);
    EXPECT_EQ(failed.err.empty(), !quiet.empty()) << failed.err;
  }
  write("official.txt", official_record() + "\n");
  const Outcome none = tool("group --fail-on-placeholder official.txt");
  EXPECT_EQ(none.code, 0);
  EXPECT_EQ(summary_count(none.err, label), 0) << none.err;

  // A manifest saying "placeholders = none" silences nothing: the same
  // lists disclose alike.
  write_set("declared", "name = official\nplaceholders = none\n");
  const Outcome declared = tool("group --fail-on-placeholder --tier-tables declared in.txt");
  EXPECT_EQ(declared.code, 1) << declared.err;
  EXPECT_EQ(summary_count(declared.err, label), 2) << declared.err;
  // The one row the records hit, cleared in its file: nothing to count.
  write_cleared_set("official", "name = official\n");
  const Outcome loaded = tool("group --fail-on-placeholder --tier-tables official in.txt");
  EXPECT_EQ(loaded.code, 0) << loaded.err;
  EXPECT_EQ(summary_count(loaded.err, label), 0) << loaded.err;
  EXPECT_NE(loaded.err.find("\n  tier-table set official sha256:"), std::string::npos)
      << loaded.err;
  // Placeholders marked, as the compiled-in set writes its manifest.
  write_set("marked");
  const Outcome marked = tool("group --fail-on-placeholder --tier-tables marked in.txt");
  EXPECT_EQ(marked.code, 1) << marked.err;
  EXPECT_EQ(summary_count(marked.err, label), 2) << marked.err;
  EXPECT_EQ(tool("group --fail-on-placeholder --fail-on-ungrouped in.txt").code, 1);
}

TEST_F(TierSetCli, ExplanationsDiscloseTheSetAndPlaceholderRows) {
  write("in.txt", official_record() + "\n" + placeholder_record() + "\n");
  write_cleared_set("official", "name = official\nplaceholders = none\n");
  std::vector<TierSetProblem> problems;
  const auto cleared = TierSet::load(path("official").string(), problems);
  ASSERT_NE(cleared, nullptr);
  const std::string words = "; a placeholder row, not from an official list\n";
  const std::shared_ptr<const TierSet> compiled = TierSet::compiled();
  for (const std::string args : {"", "--tier-tables official "}) {
    const bool loaded = !args.empty();
    const Outcome json = tool("explain -f json " + args + "in.txt");
    ASSERT_EQ(json.code, 0) << json.err;
    const auto rows = lines_of(json.out);
    ASSERT_EQ(rows.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
      const auto j = nlohmann::json::parse(rows[i]);
      EXPECT_EQ(j["tier_set"]["name"], loaded ? "official" : "compiled-in");
      EXPECT_EQ(j["tier_set"]["sha256"], loaded ? cleared->digest() : compiled->digest());
      EXPECT_EQ(j["tier_set"]["compiled_in"], !loaded);
      EXPECT_EQ(j["tier_set"]["placeholders"], true);
      EXPECT_EQ(j["tier"]["placeholder"], i == 1 && !loaded) << args << i;
      EXPECT_EQ(j["tier"]["lists"][0]["name"], loaded ? "single-2.90.csv" : "CmdICD290s1");
    }
    const Outcome text = tool("explain " + args + "in.txt");
    ASSERT_EQ(text.code, 0) << text.err;
    const std::string setLine = "\n    tier-table set " +
                                (loaded ? cleared : compiled)->identity() +
                                ", which holds placeholder rows\n";
    const std::size_t second = text.out.find("\nline 2:");
    ASSERT_NE(second, std::string::npos) << text.out;
    EXPECT_NE(text.out.find(setLine), std::string::npos) << text.out;
    EXPECT_EQ(text.out.find(words), loaded ? std::string::npos : text.out.find(words, second))
        << text.out;
    EXPECT_NE(text.out.find("tier B from single-code list single-2.90.csv:7: the record holds "
                            "\"Z99.2^^^\" (cell 1)\n"),
              std::string::npos)
        << text.out;
  }
}

}  // namespace
}  // namespace cmg290::cli_test
