// cmg290-tables-check: checks the comorbidity tier tables compiled into the
// grouper and prints each violation, one per line, as
// "list NAME row N: what" (or "list NAME: what").
//
// Exit status: 0 the tables are sound, 1 violations were found, 2 usage error.
#include <cstdio>
#include <string_view>

#include "tier_validate.h"

namespace {

constexpr const char* kUsage =
    "usage: cmg290-tables-check\n"
    "Checks the comorbidity tier tables compiled into the grouper (shapes, code\n"
    "and excluded-RIC formats, order, fixed rows, excluded-RIC counts, the\n"
    "differences between table versions) and prints each violation.\n"
    "Exit status: 0 sound, 1 violations found, 2 usage error.\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::string_view(argv[1]) == "-h" || std::string_view(argv[1]) == "--help")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc != 1) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const auto violations = cmg290::tables::check_tier_tables(cmg290::tables::compiled_tier_tables());
  for (const auto& v : violations) std::printf("%s\n", v.c_str());
  if (violations.empty()) {
    std::fprintf(stderr, "tier tables: all checks passed\n");
    return 0;
  }
  std::fprintf(stderr, "tier tables: %zu violation%s\n", violations.size(),
               violations.size() == 1 ? "" : "s");
  return 1;
}
