// The safe entry on arbitrary bytes of any length: it must read nothing past
// the input, give a known status and well-formed outputs, and agree with
// CMG_290 on the same record padded with blanks.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "cmg290/cmg290.h"

namespace {

bool known_status(int s) {
  return s == 0 || s == 1 || s == 2 || s == 3 || s == 5 || s == 6 || s == 7 || s == 9;
}

void check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Copy into a buffer of exactly the input's size so that any read past it
  // is caught by AddressSanitizer.
  char* exact = static_cast<char*>(std::malloc(size == 0 ? 1 : size));
  std::memcpy(exact, data, size);
  const cmg290::Result r = cmg290::group(std::string_view(exact, size));
  std::free(exact);

  check(known_status(r.status));
  check(std::strlen(r.cmg) <= 5 && std::strlen(r.motorScore) <= 6);
  check(std::strcmp(r.grouperVersion, "2.90") == 0);
  check(std::strlen(r.tableVersion) == 4);
  if (r.status == 0) check(std::strchr("ABCD", r.cmg[0]) != nullptr && r.cmg[0] != '\0');

  std::string padded(reinterpret_cast<const char*>(data), std::min(size, cmg290::kRecordLength));
  padded.resize(cmg290::kRecordLength, ' ');
  char cmg[6], motor[7], tv[5], gv[5];
  int status, cog, age;
  const int rc = CMG_290(padded.data(), cmg, &status, motor, &cog, &age, tv, gv);
  check(rc == r.status && status == r.status && cog == r.cognitiveScore && age == r.age);
  check(std::strcmp(cmg, r.cmg) == 0 && std::strcmp(motor, r.motorScore) == 0);
  check(std::strcmp(tv, r.tableVersion) == 0 && std::strcmp(gv, r.grouperVersion) == 0);
  return 0;
}
