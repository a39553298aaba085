// The row writers that work on whole words must write what the plain ones
// do, for any bytes a result text may hold.
#include <gtest/gtest.h>

#include <string>

#include "group/row_text.h"

namespace cmg290::cli {
namespace {

template <std::size_t N>
void expect_trimmed_alike(const char* alphabet, std::size_t letters) {
  char text[N];
  std::size_t combinations = 1;
  for (std::size_t i = 0; i < N; ++i) combinations *= letters;
  for (std::size_t k = 0; k < combinations; ++k) {
    for (std::size_t i = 0, rest = k; i < N; ++i, rest /= letters)
      text[i] = alphabet[rest % letters];
    char out[N + kSpare];
    char* end = put_trimmed(out, text);
    ASSERT_EQ(std::string(out, static_cast<std::size_t>(end - out)),
              std::string(without_end_blanks(text)))
        << "text " << testing::PrintToString(std::string(text, N));
  }
}

TEST(RowText, TrimmedTextsAreWrittenAsThePlainTrimWouldWriteThem) {
  // Blanks around, between and instead of characters, terminators early or
  // not at all, bytes with the high bit set.
  const char alphabet[] = {' ', '\0', 'A', '9', '.', '\x80', '\xff'};
  expect_trimmed_alike<5>(alphabet, sizeof alphabet);
  expect_trimmed_alike<6>(alphabet, sizeof alphabet);
  expect_trimmed_alike<7>(alphabet, sizeof alphabet);
}

TEST(RowText, SmallIntegersAsToString) {
  for (std::int64_t v : {-1000, -12, -1, 0, 1, 9, 10, 99, 100, 141, 999, 1000, 123456789}) {
    char out[32];
    const char* end = put_small_int(out, v);
    EXPECT_EQ(std::string(out, static_cast<std::size_t>(end - out)), std::to_string(v));
  }
}

// Counting up in place, across every carry into a new digit, and from
// starts of any length.
TEST(RowText, LineNumbersCountAsToString) {
  for (std::int64_t start : {std::int64_t{0}, std::int64_t{1}, std::int64_t{95},
                             std::int64_t{999'990}, std::int64_t{999'999'999'999'999'000}}) {
    LineNumber line(start);
    for (std::int64_t n = start; n < start + 2000; ++n, line.next()) {
      ASSERT_EQ(line.text(), std::to_string(n));
      char out[32 + kSpare];
      const char* end = line.put(out);
      ASSERT_EQ(std::string(out, static_cast<std::size_t>(end - out)), std::to_string(n));
    }
  }
}

}  // namespace
}  // namespace cmg290::cli
