// The CSV records and cells that the command's subcommands
// share: quoted fields across line ends, doubled quotes, refusals, and the
// quoting that reads back as the same text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "csv_records.h"
#include "text_cells.h"

namespace {

using cmg290::frontend::csv_cell;
using cmg290::frontend::CsvRecords;
using Step = CsvRecords::Step;
using Fields = std::vector<std::string>;

TEST(CsvRecords, SplitsQuotedFieldsAcrossLinesAndStartsAfreshAfterARecord) {
  CsvRecords csv;
  ASSERT_EQ(csv.add_line(R"(a,"b,""c""",)"), Step::Record);
  EXPECT_EQ(csv.fields(), (Fields{"a", "b,\"c\"", ""}));
  ASSERT_EQ(csv.add_line(R"("one)"), Step::More);
  EXPECT_TRUE(csv.in_quotes());
  ASSERT_EQ(csv.add_line(R"(two",x"y)"), Step::Record);
  EXPECT_EQ(csv.fields(), (Fields{"one\ntwo", "x\"y"}));
  ASSERT_EQ(csv.add_line(""), Step::Record);
  EXPECT_EQ(csv.fields(), (Fields{""}));
}

TEST(CsvRecords, RefusesTextAfterAClosingQuoteNamingItsField) {
  CsvRecords csv;
  ASSERT_EQ(csv.add_line(R"(a,"b"c,d)"), Step::Error);
  EXPECT_EQ(csv.error_field(), 2u);
  EXPECT_FALSE(csv.in_quotes());
  // The next line is a record of its own.
  ASSERT_EQ(csv.add_line("e"), Step::Record);
  EXPECT_EQ(csv.fields(), (Fields{"e"}));
}

TEST(CsvCells, QuoteWhatAReaderWouldSplitOrTrimAndReadBackTheSame) {
  EXPECT_EQ(csv_cell("J38.01"), "J38.01");
  EXPECT_EQ(csv_cell(" 01"), " 01");
  EXPECT_EQ(csv_cell(" 01", true), "\" 01\"");
  EXPECT_EQ(csv_cell("01\t", true), "\"01\t\"");
  for (const std::string text : {"a,b", "say \"x\"", "two\nlines", " padded ", ""}) {
    CsvRecords csv;
    Step step = Step::More;
    const std::string cell = csv_cell(text, true);
    std::size_t start = 0;
    while (step == Step::More) {
      const std::size_t end = cell.find('\n', start);
      step = csv.add_line(cell.substr(start, end == std::string::npos ? end : end - start));
      start = end + 1;
    }
    ASSERT_EQ(step, Step::Record) << cell;
    EXPECT_EQ(csv.fields(), (Fields{text})) << cell;
  }
}

}  // namespace
