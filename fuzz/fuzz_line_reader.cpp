// The line reader of `cmg290 group` against the plain split of the whole
// input. The first bytes of the input pick the chunk size, the head kept of
// a cut line, how many line ends are noted per chunk, the sizes of the
// reads and whether a read fails; the rest is the text. A text read without
// failure is also read in place, from a file in memory through mapped
// windows (chunks of 256 bytes and more there, so that a text does not take
// many mappings).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include "cli/line_reading.h"
#include "cli/mapped_reading.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

constexpr std::size_t kSmallestMappedChunk = 256;
constexpr std::size_t kLargestMappedChunk = kSmallestMappedChunk + 255 * 16;

void check_in_place(std::string_view text, std::size_t chunkBytes, std::size_t keepBytes) {
  static cmg290::cli::WindowArena* const arena =
      cmg290::cli::WindowArena::create(2,
                                       kLargestMappedChunk + cmg290::cli::WindowArena::page_size())
          .release();
  check(arena != nullptr);
  static const int fd = memfd_create("lines", MFD_CLOEXEC);
  check(fd >= 0);
  check(ftruncate(fd, 0) == 0);
  check(pwrite(fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size()));
  const cmg290::test::InPlaceReading r =
      cmg290::test::read_in_place(*arena, fd, text, 0, chunkBytes, keepBytes);
  check(r.fault.empty());
  check(r.lines == cmg290::test::split_lines(text, chunkBytes, keepBytes));
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
    const std::size_t mappedChunk = kSmallestMappedChunk + std::size_t{data[0]} * 16;
    check_in_place(text, mappedChunk, std::min<std::size_t>(1 + data[1] * 3, mappedChunk - 1));
  }
  return 0;
}
