// The inflating source of the record readers, on any bytes: read in small
// pieces (sizes picked from the input's length) it must hand out the same
// bytes and end the same way as read in one go, plain input must come out
// as it went in, and what it refuses must be named.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "cli/line_reading.h"
#include "gzip_source.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

struct Drained {
  std::string text;
  long error = 0;
  bool operator==(const Drained&) const = default;
};

// Stops at 64 MiB: a bomb is read in bounded pieces whatever it holds, and
// the comparison needs no more.
constexpr std::size_t kMost = std::size_t{64} << 20;

Drained drain(std::string_view input, std::size_t ask, std::vector<std::size_t> rawSizes,
              std::size_t inBytes) {
  cmg290::test::PieceSource raw(input, std::move(rawSizes));
  cmg290::cli::GzipSource source(raw, cmg290::cli::GzipSource::Mode::kSniff, inBytes);
  Drained d;
  std::vector<char> buf(ask);
  while (d.text.size() < kMost) {
    const long got = source.read(buf.data(), ask);
    if (got < 0) {
      d.error = got;
      check(got == cmg290::cli::GzipSource::kDamaged && !source.damage().empty());
      check(source.read(buf.data(), ask) == got);
      break;
    }
    check(static_cast<std::size_t>(got) <= ask);
    if (got == 0) break;
    d.text.append(buf.data(), static_cast<std::size_t>(got));
  }
  return d;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const Drained whole = drain(input, std::size_t{1} << 20, {}, cmg290::cli::GzipSource::kInBytes);
  const Drained pieces = drain(input, 1 + size * 7 % 61, {1 + size % 5, 64}, 2 + size * 13 % 97);
  if (whole.text.size() < kMost) check(pieces == whole);
  if (!cmg290::cli::GzipSource::magic(data, size)) check(whole.error == 0 && whole.text == input);
  return 0;
}
