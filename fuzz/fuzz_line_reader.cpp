// The line reader of `cmg290 group` against the plain split of the whole
// input. The first bytes of the input pick the chunk size, the head kept of
// a cut line, how many line ends are noted per chunk, the sizes of the
// reads and whether a read fails; the rest is the text.
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "cli/line_reading.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kHeader = 5;
  if (size < kHeader) return 0;
  const std::size_t chunkBytes = 2 + data[0] % 63;
  const std::size_t keepBytes = 1 + data[1] % (chunkBytes - 1);
  const std::size_t noted = data[2] % 5;
  // Up to seven read sizes from 1 to 32, cycled; zero of them reads as much
  // as is asked for.
  const std::size_t readSizes = data[3] % 8;
  if (size < kHeader + readSizes) return 0;
  std::vector<std::size_t> sizes;
  for (std::size_t i = 0; i < readSizes; ++i) sizes.push_back(1 + data[kHeader + i] % 32);
  const std::string_view text(reinterpret_cast<const char*>(data) + kHeader + readSizes,
                              size - kHeader - readSizes);
  // One input in eight fails part way through.
  const std::size_t failAt =
      data[4] % 8 == 0 ? static_cast<std::size_t>(data[4] / 8) * 7 : std::string_view::npos;

  std::vector<std::size_t> after;
  const std::vector<cmg290::test::ReadLine> expected =
      cmg290::test::split_lines(text, chunkBytes, keepBytes, &after);
  cmg290::test::PieceSource source(text, sizes, failAt);
  const cmg290::test::Reading r = cmg290::test::read_lines(source, chunkBytes, keepBytes, noted);

  check(r.fault.empty());
  check(r.lines.size() <= expected.size());
  for (std::size_t i = 0; i < r.lines.size(); ++i) check(r.lines[i] == expected[i]);
  for (const auto& [last, bytes] : r.chunkEnds) check(bytes == after[last - 1]);
  if (failAt < text.size()) {
    // Only whole lines before the failure, then the error.
    check(r.error == -1);
    check(r.chunkEnds.empty() || r.chunkEnds.back().second <= failAt);
  } else {
    check(r.error == 0 && r.ended && r.lines.size() == expected.size());
    check(source.handed_out() == text.size());
    check(r.chunkEnds.empty() ? text.empty() : r.chunkEnds.back().second == text.size());
  }
  return 0;
}
