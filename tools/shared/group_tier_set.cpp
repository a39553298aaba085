#include "group_tier_set.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <vector>

namespace cmg290::cli {

void add_tier_set_options(CLI::App& cmd, TierSetChoice& choice) {
  CLI::Option* dir = cmd.add_option("--tier-tables", choice.directory,
                                    "Take the comorbidity tier lists from the tier-table set in "
                                    "DIR instead of the compiled-in lists, whose D entries are "
                                    "mostly placeholders. A faulty set is refused before any "
                                    "input is read.")
                         ->type_name("DIR");
  cmd.add_flag("--allow-deviations", choice.allowDeviations,
               "Accept a set of --tier-tables that deviates from the documented contents of the "
               "lists; the set's identity then counts the deviations.")
      ->needs(dir);
  cmd.add_option("--tier-tables-sha256", choice.expectedSha256, kSha256Help)
      ->type_name("HEX")
      ->transform(sha256_option())
      ->needs(dir);
}

const char* const kSha256Help =
    "Take the set of --tier-tables only if its sha256 (64 hex digits, as `cmg290 tables check "
    "DIR` shows it) is HEX: that set is taken with its deviations, any other is refused.";

CLI::Validator sha256_option() {
  return CLI::Validator(
      [](std::string& value) {
        std::string digest;
        std::string error;
        if (!parse_sha256(value, digest, error)) return error;
        value = std::move(digest);
        return std::string();
      },
      "HEX", "SHA256");
}

std::shared_ptr<const TierSet> load_chosen_set(const TierSetChoice& choice) {
  if (choice.directory.empty()) return TierSet::compiled();
  std::vector<TierSetProblem> problems;
  TierSetOptions options;
  options.allowDeviations = choice.allowDeviations;
  options.expectedSha256 = choice.expectedSha256;
  auto set = TierSet::load(choice.directory, problems, options);
  if (set != nullptr) return set;
  std::string text = "cmg290: the tier-table set " + choice.directory + " is refused (" +
                     std::to_string(problems.size()) +
                     (problems.size() == 1 ? " problem" : " problems") + "):\n";
  for (const TierSetProblem& p : problems) text += problem_text(p) + "\n";
  std::fwrite(text.data(), 1, text.size(), stderr);
  return nullptr;
}

}  // namespace cmg290::cli
