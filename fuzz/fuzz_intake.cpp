// FillData and Trim_CMRBD on arbitrary bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "cmg290/cmg290.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // FillData: a field inside the input, copied into a buffer of exactly
  // length + 1 bytes.
  const std::size_t recordSize = size - 2;
  if (recordSize > 0) {
    const int start = 1 + data[0] % static_cast<int>(recordSize);
    const int room = static_cast<int>(recordSize) - start + 1;
    const int length = 1 + data[1] % room;
    std::vector<char> record(data + 2, data + size);
    std::vector<char> dst(length + 1);
    FillData(record.data(), dst.data(), start, length);
    if (std::memcmp(dst.data(), record.data() + start - 1, length) != 0 || dst[length] != '\0')
      std::abort();
  }

  // Trim_CMRBD on the first eight bytes (blank-padded) in a nine-byte buffer:
  // the result is the non-blank characters in order, terminated.
  char code[9] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', '\0'};
  std::memcpy(code, data, std::min<std::size_t>(8, size));
  char expected[9];
  int n = 0;
  for (int i = 0; i < 8; ++i) {
    if (code[i] != ' ') expected[n++] = code[i];
  }
  expected[n] = '\0';
  Trim_CMRBD(code);
  if (std::strcmp(code, expected) != 0) std::abort();
  return 0;
}
