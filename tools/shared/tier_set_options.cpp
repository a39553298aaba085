#include "tier_set_options.h"

#include <CLI/CLI.hpp>

#include <cstdio>

#include "exit_codes.h"

namespace cmg290::cli {

namespace {

const char* const kAllowHelp =
    "Accept a set of --tier-tables that deviates from the documented contents of the lists; the "
    "set's identity then counts the deviations.";

const char* const kSha256Help =
    "Take the set of --tier-tables only if its sha256 (64 hex digits, as `cmg290 tables check "
    "DIR` shows it) is HEX: that set is taken with its deviations, any other is refused.";

// Checks a value of --tier-tables-sha256 (parse_sha256) and turns it into
// lower case.
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

// The three options over one set (a string each) or several (a vector each).
template <typename Directories>
CLI::Option* add_options(CLI::App& cmd, Directories& directories, bool& allowDeviations,
                         Directories& pins, const std::string& help, const std::string& pinHelp) {
  CLI::Option* dir = cmd.add_option("--tier-tables", directories, help)->type_name("DIR");
  cmd.add_flag("--allow-deviations", allowDeviations, kAllowHelp)->needs(dir);
  cmd.add_option("--tier-tables-sha256", pins, pinHelp)
      ->type_name("HEX")
      ->transform(sha256_option())
      ->needs(dir);
  return dir;
}

}  // namespace

const char* const kTierTablesHelp =
    "Take the comorbidity tier lists from the tier-table set in DIR instead of the compiled-in "
    "lists, whose D entries are mostly placeholders. A faulty set is refused before any input "
    "is read.";

TierSetChoice TierSetChoices::choice(std::size_t i) const {
  return {directories.at(i), allowDeviations, pins.empty() ? std::string() : pins.at(i)};
}

void add_tier_set_options(CLI::App& cmd, TierSetChoice& choice, const std::string& help) {
  add_options(cmd, choice.directory, choice.allowDeviations, choice.expectedSha256, help,
              kSha256Help);
}

void add_tier_set_options(CLI::App& cmd, TierSetChoices& choices, const std::string& help) {
  add_options(cmd, choices.directories, choices.allowDeviations, choices.pins, help,
              std::string(kSha256Help) + " Given once for each --tier-tables, in turn.")
      ->allow_extra_args(false)
      ->required();
  cmd.get_option("--tier-tables-sha256")->allow_extra_args(false);
}

std::shared_ptr<const TierSet> try_load_set(const TierSetChoice& choice, SetRefusal& refusal) {
  refusal = SetRefusal{};
  if (choice.directory.empty()) return TierSet::compiled();
  TierSetOptions options;
  options.allowDeviations = choice.allowDeviations;
  options.expectedSha256 = choice.expectedSha256;
  std::vector<TierSetProblem> found;
  std::shared_ptr<const TierSet> set = TierSet::load(choice.directory, found, options);
  if (set != nullptr) return set;
  for (const TierSetProblem& p : found) refusal.problems.push_back(problem_text(p));
  if (found.empty()) refusal.problems.push_back(choice.directory + ": not loaded");
  if (!options.allowDeviations && options.expectedSha256.empty()) {
    // Say so when only deviations from the documented contents stood in the
    // way.
    options.allowDeviations = true;
    std::vector<TierSetProblem> again;
    refusal.onlyDeviations = TierSet::load(choice.directory, again, options) != nullptr;
  }
  return nullptr;
}

std::string refusal_text(const std::string& directory, const SetRefusal& refusal,
                         const SetVoice& voice) {
  const std::string who = voice.who;
  std::string text = who + ": the " + (voice.side != nullptr ? voice.side + std::string(" ") : "") +
                     "tier-table set in " + directory + " cannot be used:\n";
  for (const std::string& p : refusal.problems) text += p + "\n";
  if (refusal.onlyDeviations) {
    text += who +
            ": these are deviations from the documented contents of the lists; "
            "--allow-deviations takes them\n";
  }
  return text;
}

int load_tier_set(const TierSetChoice& choice, std::shared_ptr<const TierSet>& set,
                  const SetVoice& voice) {
  SetRefusal refusal;
  set = try_load_set(choice, refusal);
  if (set != nullptr) return kExitClean;
  const std::string text = refusal_text(choice.directory, refusal, voice);
  std::fwrite(text.data(), 1, text.size(), stderr);
  return kExitFatal;
}

}  // namespace cmg290::cli
