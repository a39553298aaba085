// CMG_290 on records of exactly 1251 bytes in a buffer of exactly that size,
// with output buffers of exactly their documented room.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "cmg290/cmg290.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t n = cmg290::kRecordLength;
  char* record = static_cast<char*>(std::malloc(n));
  for (std::size_t i = 0; i < n; ++i) record[i] = i < size ? static_cast<char>(data[i]) : ' ';
  char* cmg = static_cast<char*>(std::malloc(6));
  char* motor = static_cast<char*>(std::malloc(7));
  char* tv = static_cast<char*>(std::malloc(5));
  char* gv = static_cast<char*>(std::malloc(5));
  int status = -1, cog = -1, age = -1;
  const int rc = CMG_290(record, cmg, &status, motor, &cog, &age, tv, gv);
  if (rc != status || std::strcmp(gv, "2.90") != 0 || std::memchr(cmg, 0, 6) == nullptr ||
      std::memchr(motor, 0, 7) == nullptr || std::memchr(tv, 0, 5) == nullptr)
    std::abort();
  // The record is never written.
  for (std::size_t i = 0; i < n; ++i) {
    if (record[i] != (i < size ? static_cast<char>(data[i]) : ' ')) std::abort();
  }
  std::free(record);
  std::free(cmg);
  std::free(motor);
  std::free(tv);
  std::free(gv);
  return 0;
}
