// The explanation against the grouping call on any bytes: its result, made
// with a walk of the stored tier rows, must equal the indexed pass's, and
// its JSON and text must be written without fault.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "cmg290/cmg290.h"
#include "cmg290/explain.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A buffer of exactly the input's size, so that a read past it is caught.
  char* exact = static_cast<char*>(std::malloc(size == 0 ? 1 : size));
  std::memcpy(exact, data, size);
  const std::string_view record(exact, size);
  const cmg290::Result g = cmg290::group(record);
  const cmg290::Explanation e = cmg290::explain(record);
  std::free(exact);

  const cmg290::Result& x = e.result;
  check(x.status == g.status && x.cognitiveScore == g.cognitiveScore && x.age == g.age);
  check(std::strcmp(x.cmg, g.cmg) == 0 && std::strcmp(x.motorScore, g.motorScore) == 0);
  check(std::strcmp(x.tableVersion, g.tableVersion) == 0);
  check(std::strcmp(x.grouperVersion, g.grouperVersion) == 0);
  check(e.fields.size() == cmg290::kRecordFieldCount && e.checks.size() == 7);
  check(e.tier.has_value() == (g.status == 0));
  if (e.tier) check(e.tier->letter == g.cmg[0]);

  const std::string json = cmg290::explain_json(e, {"f", 1, size % 2 == 1});
  check(json.size() > 2 && json.front() == '{' && json.back() == '}');
  check(json.find('\n') == std::string::npos);
  const std::string text = cmg290::explain_text(e);
  check(!text.empty() && text.back() == '\n');
  return 0;
}
