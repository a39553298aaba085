// The CSV form of the comorbidity tier lists, compiled in from tools/: codes
// and excluded-RIC lists as people write them, every kind of faulty row, the
// order the lists need, and the .def text.
#include "tables/tier_csv.h"

#include <gtest/gtest.h>

namespace cmg290::cli::tier {
namespace {

std::string code(std::string_view text, ListKind kind) {
  std::string out, reason;
  return normalize_code(text, kind, out, reason) ? out : "error: " + reason;
}

std::string rics(std::string_view text, ListKind kind) {
  std::string out, reason;
  return normalize_rics(text, kind, out, reason) ? out : "error: " + reason;
}

TEST(TierCsv, CodesAreWrittenAsRecordsHoldThem) {
  const auto early = ListKind::kEarlySingle;
  const auto late = ListKind::kLateSingle;
  EXPECT_EQ(code("478.31", early), "478.31");
  EXPECT_EQ(code("47831", early), "478.31");
  EXPECT_EQ(code(" 042 ", early), "042.");
  EXPECT_EQ(code("042.", early), "042.");
  EXPECT_EQ(code("V440", early), "V44.0");
  EXPECT_EQ(code("J38.01^^", late), "J38.01^^");
  EXPECT_EQ(code("J38.01", late), "J38.01^^");
  EXPECT_EQ(code("J3801", late), "J38.01^^");
  EXPECT_EQ(code("A35", late), "A35.^^^^");
  EXPECT_EQ(code("T8172XA", late), "T81.72XA");
  EXPECT_EQ(code("I63.013", ListKind::kPair), "I63.013^");
}

TEST(TierCsv, MalformedAndOverlongCodesAreRefused) {
  for (const char* bad : {"", "47", "4783a", "478.3.1", "J38.01", "E8790", "478.311"}) {
    EXPECT_TRUE(code(bad, ListKind::kEarlySingle).starts_with("error")) << bad;
  }
  EXPECT_NE(code("478.311", ListKind::kEarlySingle).find("too long"), std::string::npos);
  for (const char* bad : {"J3", "j38.01", "J38.0^1", "J38.01234", "38.01", "J38,01", "J38.01 ^"}) {
    EXPECT_TRUE(code(bad, ListKind::kLateSingle).starts_with("error")) << bad;
  }
  EXPECT_NE(code("T81.72XAB", ListKind::kLateSingle).find("too long"), std::string::npos);
}

TEST(TierCsv, ExcludedRicsAcceptEitherSeparatorAndOneDigit) {
  EXPECT_EQ(rics("", ListKind::kEarlySingle), " ");
  EXPECT_EQ(rics("  ", ListKind::kLateSingle), " ");
  EXPECT_EQ(rics("1;2", ListKind::kEarlySingle), "01,02");
  EXPECT_EQ(rics("01, 02", ListKind::kEarlySingle), "01,02");
  EXPECT_EQ(rics("1;2", ListKind::kLateSingle), "01, 02");
  EXPECT_EQ(rics(" 3 ;5", ListKind::kPair), "03, 05");
  // Later lists may end in one blank, which is kept; earlier ones never do.
  EXPECT_EQ(rics("01, 02, 03 ", ListKind::kLateSingle), "01, 02, 03 ");
  EXPECT_EQ(rics("01,02,03 ", ListKind::kEarlySingle), "01,02,03");
}

TEST(TierCsv, FaultyExcludedRicsAreRefused) {
  // A RIC the grouper assigns is read (the table checks name it a
  // deviation); one it never assigns is refused, saying which are used.
  EXPECT_EQ(rics("04", ListKind::kLateSingle), "04");
  EXPECT_EQ(rics("21;1", ListKind::kEarlySingle), "21,01");
  EXPECT_NE(rics("22", ListKind::kLateSingle).find("unknown RIC \"22\""), std::string::npos);
  EXPECT_NE(rics("50", ListKind::kLateSingle).find("the grouper assigns RICs 01 to 21"),
            std::string::npos);
  EXPECT_NE(rics("1;99", ListKind::kLateSingle).find("unknown RIC"), std::string::npos);
  EXPECT_NE(rics("01,1", ListKind::kLateSingle).find("twice"), std::string::npos);
  for (const char* bad : {"01,", ",01", "01 02", "001", "x"}) {
    EXPECT_TRUE(rics(bad, ListKind::kEarlySingle).starts_with("error")) << bad;
  }
  EXPECT_NE(rics("01,02,03,05", ListKind::kEarlySingle).find("too many"), std::string::npos);
  EXPECT_EQ(rics("01,02,03", ListKind::kEarlySingle), "01,02,03");
}

TEST(TierCsv, RowsAreSortedByTierThenCodeAndPairsKeepTheirOrder) {
  std::vector<RowError> errors;
  const auto singles = read_csv(
      "\xEF\xBB\xBF"
      "code,tier,excluded_rics\r\nZ99.2,D,\r\n\r\nA04.7,C,\r\n,,\r\nB96.5,C,1\r\nJ38.4,B,15\r\n",
      ListKind::kLateSingle, errors);
  EXPECT_TRUE(errors.empty());
  ASSERT_EQ(singles.size(), 4u);
  EXPECT_EQ(singles[0].code, "J38.4^^^");
  EXPECT_EQ(singles[1].code, "A04.7^^^");
  EXPECT_EQ(singles[2].code, "B96.5^^^");
  EXPECT_EQ(singles[2].rics, "01");
  EXPECT_EQ(singles[3].code, "Z99.2^^^");

  const auto pairs = read_csv(
      "code_1,code_2,tier,excluded_rics\nK26.6,K56.60,D,\nB39.4,G02,D,"
      "\"3,5\"\nA01,A02,C,\n",
      ListKind::kPair, errors);
  EXPECT_TRUE(errors.empty());
  ASSERT_EQ(pairs.size(), 3u);
  EXPECT_EQ(pairs[0].code + pairs[0].code2, "A01.^^^^A02.^^^^");
  EXPECT_EQ(pairs[1].code + pairs[1].code2 + pairs[1].rics, "K26.6^^^K56.60^^ ");
  EXPECT_EQ(pairs[2].code + pairs[2].code2 + pairs[2].rics, "B39.4^^^G02.^^^^03, 05");
}

TEST(TierCsv, EveryFaultyRowIsReportedWithItsLine) {
  std::vector<RowError> errors;
  read_csv(
      "code,tier,excluded_rics\n"
      "478.31,B,15\n"  // 2 fine
      "478.32,A,15\n"  // 3 unknown tier
      "47,B,\n"        // 4 malformed code
      "478.331,B,\n"   // 5 over-long code
      "478.34,B,50\n"  // 6 unknown RIC
      "47831,C,\n"     // 7 duplicate of line 2
      "478.6,B\n"      // 8 too few fields
      "\"478.6,B,\n",  // 9 open quote
      ListKind::kEarlySingle, errors);
  ASSERT_EQ(errors.size(), 7u);
  const std::pair<int, const char*> expected[] = {
      {3, "unknown tier \"A\""}, {4, "not an ICD-9-CM code"}, {5, "too long"},
      {6, "unknown RIC \"50\""}, {7, "first on line 2"},      {8, "found 2"},
      {9, "not closed"},
  };
  for (std::size_t i = 0; i < errors.size(); ++i) {
    EXPECT_EQ(errors[i].line, expected[i].first);
    EXPECT_NE(errors[i].reason.find(expected[i].second), std::string::npos) << errors[i].reason;
  }
}

TEST(TierCsv, MissingHeaderIsAFault) {
  std::vector<RowError> errors;
  read_csv("478.31,B,15\n478.32,B,15\n", ListKind::kEarlySingle, errors);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].line, 1);
  EXPECT_NE(errors[0].reason.find("missing header"), std::string::npos);
  errors.clear();
  read_csv("", ListKind::kEarlySingle, errors);
  EXPECT_EQ(errors.size(), 1u);
  errors.clear();
  read_csv("code,tier,excluded_rics\n", ListKind::kPair, errors);
  EXPECT_EQ(errors.size(), 1u) << "a pair list has two code columns";
}

TEST(TierCsv, ExportedTextReadsBackAndDefTextReadsBack) {
  const std::vector<Entry> entries = {{"I60.00^^", "", "D", "01, 02, 03 ", 0, ""},
                                      {"J38.01^^", "", "B", " ", 0, ""}};
  const std::string csv = write_csv(entries, ListKind::kLateSingle);
  EXPECT_EQ(csv, "code,tier,excluded_rics\nI60.00^^,D,\"01, 02, 03 \"\nJ38.01^^,B,\n");
  std::vector<RowError> errors;
  const auto back = read_csv(csv, ListKind::kLateSingle, errors);
  EXPECT_TRUE(errors.empty());
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[1].rics, "01, 02, 03 ");

  const std::string def = render_def(back, ListKind::kLateSingle, {"from a test", ""});
  EXPECT_EQ(def,
            "// from a test\n//\nROW(\"J38.01^^\", \"B\", \" \")\n"
            "ROW(\"I60.00^^\", \"D\", \"01, 02, 03 \")\n");
  std::vector<Entry> read;
  std::string error;
  ASSERT_TRUE(read_def(def, ListKind::kLateSingle, read, error)) << error;
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[1].rics, "01, 02, 03 ");
  EXPECT_FALSE(read_def("ROW(\"J38.01^^\", \"B\")\n", ListKind::kLateSingle, read, error));
  EXPECT_EQ(error, "line 1: not a ROW line of quoted texts");
}

// The list files and the versions they serve come from the catalogue and
// the table versions; a bad choice is named in the words the command prints.
TEST(TierListFiles, ChoicesFollowTheVersionsAndTheirLists) {
  const struct {
    const char* version;
    const char* list;
    const char* file;
    const char* versions;
  } good[] = {
      {"2.40", "single", "icd240.def", "2.40"},
      {"2.70", "single", "icd260.def", "2.60 and 2.70"},
      {"2.82", "single", "icd281s1.def", "2.82"},
      {"2.82", "pair", "pairs.def", "2.82 and 2.90"},
      {"2.90", "secondary", "secondary.def", "2.82 and 2.90"},
  };
  for (const auto& c : good) {
    std::string error;
    const ListFile* f = find_list(c.version, c.list, error);
    ASSERT_NE(f, nullptr) << c.version << " " << c.list << ": " << error;
    EXPECT_STREQ(f->fileName, c.file);
    EXPECT_EQ(f->versions, c.versions);
    EXPECT_EQ(f->lists.size(),
              f->kind == ListKind::kPair || f->kind == ListKind::kSecondary ? 2u : 1u);
  }
  const struct {
    const char* version;
    const char* list;
    const char* error;
  } bad[] = {
      {"2.91", "single", "no table version 2.91 (2.40, 2.50, 2.60, 2.70, 2.82 or 2.90)"},
      {"", "single", "no table version  (2.40, 2.50, 2.60, 2.70, 2.82 or 2.90)"},
      {"2.70", "pair", "table version 2.70 has no pair list"},
      {"2.40", "secondary", "table version 2.40 has no secondary list"},
      {"2.90", "triple", "no list triple (single, pair or secondary)"},
  };
  for (const auto& c : bad) {
    std::string error;
    EXPECT_EQ(find_list(c.version, c.list, error), nullptr) << c.version << " " << c.list;
    EXPECT_EQ(error, c.error);
  }
  // In the order of TierSetList, which the set commands rely on.
  const auto& files = all_list_files();
  for (std::size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(static_cast<std::size_t>(files[i].list), i) << files[i].fileName;
  }
}

}  // namespace
}  // namespace cmg290::cli::tier
