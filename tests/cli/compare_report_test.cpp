// cmg290 compare --report, --report-json and --weights: the page of a change
// of the tier lists checked against compare's own listing of the changed
// records, the case-mix index under each set against one computed here
// from the library's results, and no output at all when the run fails.
#include <gtest/gtest.h>

#include <array>
#include <map>

#include "cli_fixture.h"
#include "cmg290/tier_set.h"
#include "weights_file.h"

namespace cmg290::cli_test {
namespace {

const char* const kSlots[] = {"A", "B", "C", "D", "none"};

std::string commas(std::uint64_t n) {
  const std::string digits = std::to_string(n);
  std::string out;
  for (std::size_t k = 0; k < digits.size(); ++k) {
    if (k > 0 && (digits.size() - k) % 3 == 0) out += ',';
    out += digits[k];
  }
  return out;
}

class CompareReport : public CliTest {
 protected:
  // Records, and a set "a" whose single list of 2.90 moves a few codes
  // between tiers B and D.
  void SetUp() override {
    CliTest::SetUp();
    ASSERT_EQ(tool("sample --count 6000 --seed 7 -o records.txt").code, 0);
    ASSERT_EQ(tool("tables export --all a").code, 0);
    ASSERT_EQ(tool("tables export --version 2.90 --list single -o l.csv").code, 0);
    std::string csv = read("l.csv");
    for (const std::string code : {"J38.01^^,B,", "Z99.2^^^,", "A04.7^^^,", "R13.12^^,"}) {
      const std::size_t at = csv.find("\n" + code);
      ASSERT_NE(at, std::string::npos) << code;
      const std::size_t tier = csv.find(',', at) + 1;
      csv[tier] = csv[tier] == 'B' ? 'D' : 'B';
    }
    write("l.csv", csv);
    ASSERT_EQ(
        tool("tables import l.csv --version 2.90 --list single --into a --allow-deviations").code,
        0);
  }
};

TEST_F(CompareReport, TheMatrixCountsWhatTheChangedRecordsListSays) {
  const Outcome run = tool(
      "compare --tier-tables a --allow-deviations --changed changed.csv --report page.html "
      "--report-json r.json -q records.txt");
  ASSERT_EQ(run.code, 0) << run.err;
  // Off the diagonal: the changed records by their tier letters.
  std::map<std::pair<std::string, std::string>, long> listed;
  long changed = 0;
  for (const std::string& line : lines_of(read("changed.csv"))) {
    if (line.empty() || line.starts_with("file,")) continue;
    std::vector<std::string> cells;
    std::stringstream in(line);
    for (std::string cell; std::getline(in, cell, ',');) cells.push_back(cell);
    ASSERT_GE(cells.size(), 9u) << line;
    ++listed[{cells[6].empty() ? "none" : cells[6], cells[8].empty() ? "none" : cells[8]}];
    ++changed;
  }
  ASSERT_GT(changed, 20);
  const auto j = nlohmann::json::parse(read("r.json"));
  const auto text = nlohmann::json::parse(
      tool("compare --tier-tables a --allow-deviations --json -q records.txt").out);
  EXPECT_EQ(j["cmg_changed"], changed);
  EXPECT_EQ(j["records"], 6000);
  EXPECT_EQ(j["inputs"][0]["name"], "records.txt");
  EXPECT_EQ(j["inputs"][0]["records"], 6000);
  EXPECT_EQ(j["new"]["sha256"], text["new"]["sha256"]);
  const std::string page = read("page.html");
  for (const char* from : kSlots) {
    long row = 0;
    std::string cells = "<tr><th scope=\"row\">" + std::string(from) + "</th>";
    for (const char* to : kSlots) {
      const long n = j["tier_transitions"][from][to];
      row += n;
      if (std::string(from) != to) {
        const auto at = listed.find({from, to});
        EXPECT_EQ(n, at == listed.end() ? 0 : at->second) << from << " -> " << to;
      }
      cells += "<td class=\"n\">" + (std::string(from) == to ? "[" + commas(n) + "]" : commas(n)) +
               "</td>";
    }
    // Each row holds the records of its letter with the old set.
    EXPECT_EQ(row, text["tiers"][from]["old"]) << from;
    EXPECT_NE(page.find(cells), std::string::npos) << cells;
  }
  // Per RIC and per CMG, as compare's own report counts them.
  for (const auto& r : text["rics"]) {
    bool found = false;
    for (const auto& mine : j["rics"]) {
      if (mine["ric"] != r["ric"]) continue;
      found = true;
      EXPECT_EQ(mine["records"], r["records"]);
      EXPECT_EQ(mine["cmg_changed"], r["cmg_changed"]);
    }
    EXPECT_TRUE(found) << r["ric"];
  }
  std::map<std::string, long> away, moved;
  for (const auto& t : text["transitions"]) {
    away[t["old"]] += t["records"].get<long>();
    moved[t["old"]] += t["records"].get<long>();
    moved[t["new"]] += t["records"].get<long>();
  }
  EXPECT_EQ(j["changed_cmgs"], moved.size());
  ASSERT_GT(moved.size(), j["top_cmgs"].size()) << "some CMGs left out of the list";
  ASSERT_FALSE(j["top_cmgs"].empty());
  long last = -1;
  for (const auto& g : j["top_cmgs"]) {
    EXPECT_EQ(g["changed_away"], away[g["cmg"]]) << g["cmg"];
    const long both = g["changed_away"].get<long>() + g["changed_in"].get<long>();
    if (last >= 0) {
      EXPECT_LE(both, last) << "most changes first";
    }
    last = both;
    EXPECT_EQ(both, moved[g["cmg"]]) << g["cmg"];
    moved.erase(g["cmg"]);
  }
  // The CMGs left out have no more changes than the last listed.
  for (const auto& [cmg, n] : moved) EXPECT_LE(n, last) << cmg;
  EXPECT_TRUE(j["case_mix_index"].is_null());

  // Self-contained: the report page's policy and styles, nothing fetched.
  EXPECT_NE(page.find("<meta http-equiv=\"Content-Security-Policy\" content=\"default-src "
                      "'none'; style-src 'unsafe-inline'; img-src data:\">"),
            std::string::npos);
  for (const char* never : {"<script", "http:", "https:", " src=", "<link", "<img", "url("}) {
    EXPECT_EQ(page.find(never), std::string::npos) << never;
  }
  EXPECT_NE(page.find("@media print"), std::string::npos);
  std::size_t charts = 0;
  for (std::size_t at = page.find("<svg"); at != std::string::npos;
       at = page.find("<svg", at + 1)) {
    ++charts;
    EXPECT_NE(page.find("<table", page.find("</svg>", at)), std::string::npos);
  }
  EXPECT_EQ(charts, 3u) << "transitions, RICs, CMGs; no index without weights";
  EXPECT_EQ(read("changed.csv").size() > 0, true);
  EXPECT_EQ(files_in_dir(), (std::vector<std::string>{"a", "changed.csv", "l.csv", "page.html",
                                                      "r.json", "records.txt"}));
}

// Weights by tier letter alone (A 1, B 2, C 3, D 4): the index under each
// set is the mean letter weight of the grouped records, counted here from
// the library's results with both sets.
TEST_F(CompareReport, TheCaseMixIndexUnderEachSetAndItsChange) {
  write("w.csv", full_weights([](char tier) { return std::to_string(tier - 'A' + 1) + ","; }));
  std::vector<TierSetProblem> problems;
  const auto b =
      TierSet::load(path("a").string(), problems, {.allowDeviations = true, .expectedSha256 = {}});
  ASSERT_NE(b, nullptr);
  std::array<std::array<long, 2>, 2> sums{};  // [side] {weight sum, records}
  std::map<std::string, std::array<std::array<long, 2>, 2>> rics;
  for (const std::string& line : lines_of(read("records.txt"))) {
    if (line.empty()) continue;
    const cmg290::Result r[2] = {cmg290::group(line, *TierSet::compiled()),
                                 cmg290::group(line, *b)};
    if (r[0].status != 0) continue;
    for (int side = 0; side < 2; ++side) {
      const char tier = r[side].cmg[0];
      if (tier < 'A' || tier > 'D' || r[side].cmg[1] == ' ') continue;
      sums[side][0] += tier - 'A' + 1;
      ++sums[side][1];
      auto& ric = rics[std::string(r[side].cmg + 1, 2)][side];
      ric[0] += tier - 'A' + 1;
      ++ric[1];
    }
  }
  const Outcome run = tool(
      "compare --tier-tables a --allow-deviations --weights w.csv --report-json r.json "
      "--report page.html -q records.txt");
  ASSERT_EQ(run.code, 0) << run.err;
  const auto j = nlohmann::json::parse(read("r.json"));
  const double before = static_cast<double>(sums[0][0]) / sums[0][1];
  const double after = static_cast<double>(sums[1][0]) / sums[1][1];
  EXPECT_NE(before, after);
  EXPECT_DOUBLE_EQ(j["case_mix_index"]["old"].get<double>(), before);
  EXPECT_DOUBLE_EQ(j["case_mix_index"]["new"].get<double>(), after);
  EXPECT_NEAR(j["case_mix_index"]["change"].get<double>(), after - before, 1e-12);
  EXPECT_EQ(j["case_mix_index"]["weighted_records"]["new"], sums[1][1]);
  EXPECT_EQ(j["weights"]["file"], "w.csv");
  for (const auto& r : j["rics"]) {
    const auto& mine = rics[r["ric"]];
    EXPECT_DOUBLE_EQ(r["case_mix_index"]["new"].get<double>(),
                     static_cast<double>(mine[1][0]) / mine[1][1])
        << r["ric"];
  }
  const std::string page = read("page.html");
  char cell[64];
  std::snprintf(cell, sizeof cell, "%+.4f", after - before);
  EXPECT_NE(
      page.find("<th scope=\"row\">Change of the index</th><td class=\"n\">" + std::string(cell)),
      std::string::npos)
      << cell;
}

// The weights must give every tier letter either set can give: with an old
// set of empty lists (tier A alone) and a full new one, a file of tier A
// alone is refused, though it is enough to compare the old set with itself.
TEST_F(CompareReport, TheWeightsAreCheckedForBothSets) {
  ASSERT_EQ(
      sh("cp -r a narrow && for f in narrow/*.csv; do head -1 $f > $f.t && mv $f.t $f; done").code,
      0);
  std::string onlyA;
  for (const std::string& line : lines_of(full_weights())) {
    if (line.find(",A,") != std::string::npos || line.starts_with("cmg,")) onlyA += line + "\n";
  }
  write("w.csv", onlyA);
  Outcome run = tool(
      "compare --tier-tables narrow --tier-tables narrow --allow-deviations --weights w.csv "
      "--report-json r.json -q records.txt");
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(nlohmann::json::parse(read("r.json"))["case_mix_index"]["old"], 1.5);
  fs::remove(path("r.json"));
  run = tool(
      "compare --tier-tables narrow --tier-tables a --allow-deviations --weights w.csv "
      "--report-json r.json -q records.txt");
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("w.csv: no weight for cmg 0101 tier B"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(path("r.json")));
}

TEST_F(CompareReport, AFailedRunWritesNoOutputAtAll) {
  write("page.html", "earlier");
  // A weights file refused, before any input is read.
  write("w.csv", "cmg,tier,weight,average_los\n0101,A,1,\n");
  Outcome run = tool(
      "compare --tier-tables a --allow-deviations --weights w.csv --report page.html "
      "--changed c.csv records.txt");
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("cmg290: the weights in w.csv cannot be used:"), std::string::npos);
  // An input that fails part way, and an output that cannot be written.
  ASSERT_EQ(sh("gzip -c records.txt > bad.gz && printf 'garbage' >> bad.gz").code, 0);
  run = tool(
      "compare --tier-tables a --allow-deviations --report page.html --report-json r.json "
      "--changed c.csv records.txt bad.gz");
  EXPECT_EQ(run.code, 2);
  run = tool(
      "compare --tier-tables a --allow-deviations --report page.html --changed /dev/full "
      "records.txt");
  EXPECT_EQ(run.code, 2);
  run = tool(
      "compare --tier-tables a --allow-deviations --report /dev/full --report-json r.json "
      "--changed c.csv records.txt");
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("cannot write /dev/full"), std::string::npos) << run.err;
  EXPECT_EQ(
      tool("compare --tier-tables a --allow-deviations --report x --report-json x records.txt")
          .code,
      2);
  EXPECT_EQ(
      tool("compare --tier-tables a --allow-deviations --report - --changed - records.txt").code,
      2);
  EXPECT_EQ(read("page.html"), "earlier");
  EXPECT_EQ(files_in_dir(), (std::vector<std::string>{"a", "bad.gz", "l.csv", "page.html",
                                                      "records.txt", "w.csv"}));
}

}  // namespace
}  // namespace cmg290::cli_test
