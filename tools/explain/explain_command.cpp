// cmg290 explain: why each record got its CMG, as a text report or as JSON.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cmg290/explain.h"
#include "commands.h"
#include "exit_codes.h"
#include "record_lines.h"
#include "shared/output_file.h"
#include "shared/tier_set_options.h"

namespace cmg290::cli {

namespace {

struct ExplainOptions {
  std::vector<std::string> inputs;
  std::string output;
  std::string format = "text";
  std::int64_t line = 0;  // 0: every line
  bool failOnUngrouped = false;
  TierSetChoice tierSet;
};

int run_explain(const ExplainOptions& options) {
  // Before anything is opened: a refused set leaves every file as it was.
  std::shared_ptr<const TierSet> set;
  if (const int refused = load_tier_set(options.tierSet, set); refused != kExitClean)
    return refused;
  std::vector<std::string> names = options.inputs;
  if (names.empty()) names.push_back("-");
  std::vector<std::unique_ptr<batch::Input>> inputs;
  std::string error;
  if (!batch::open_inputs(names, inputs, error)) return fatal(error);
  OutputFile output;
  if (!output.open(options.output)) return fatal(output.error());
  if (const std::string refused = batch::output_is_input(inputs, output); !refused.empty()) {
    return fatal(refused);
  }

  const bool json = options.format == "json";
  bool ungrouped = false;
  bool firstBlock = true;
  for (const auto& in : inputs) {
    ExplainFormat format;
    if (inputs.size() > 1) format.file = in->name;
    bool found = false;
    const bool read = for_each_line(
        *in,
        [&](std::int64_t number, std::string_view text) {
          if (options.line != 0 && number != options.line) return true;
          found = options.line != 0 && !text.empty();
          if (text.empty()) return options.line == 0;  // empty lines are skipped
          format.line = number;
          const Explanation e = set->is_compiled() ? explain(text) : explain(text, *set);
          ungrouped = ungrouped || e.result.status != 0;
          std::string block;
          if (json) {
            block = explain_json(e, format) + "\n";
          } else {
            if (!firstBlock) block = "\n";
            block += explain_text(e, format);
          }
          firstBlock = false;
          return output.write(block) == WriteStatus::Ok && options.line == 0;
        },
        error);
    if (!read) return fatal(error);  // the output file is abandoned on the way out
    if (output.status() != WriteStatus::Ok) return output.finish(kExitClean);
    if (options.line != 0 && !found) {
      return fatal(in->name + " has no record on line " + std::to_string(options.line));
    }
  }
  return output.finish(options.failOnUngrouped && ungrouped ? kExitFlagged : kExitClean);
}

}  // namespace

Command add_explain_command(CLI::App& app) {
  auto options = std::make_shared<ExplainOptions>();
  CLI::App* cmd = app.add_subcommand(
      "explain",
      "Explain why each record, one per line, got its CMG: every check, score, row "
      "and tier decision.");
  cmd->add_option("input", options->inputs,
                  "Record files; '-' or none reads standard input. Lines are read as by group: "
                  "LF or CRLF, short lines read as blanks, empty lines skipped.");
  cmd->add_option("--line", options->line, "Explain only the record on this line (of each input).")
      ->check(CLI::PositiveNumber);
  cmd->add_option("-f,--format", options->format,
                  "text: a short report per record; json: one JSON object per record per line "
                  "(docs/explain.md).")
      ->check(CLI::IsMember({"text", "json"}))
      ->default_str("text");
  cmd->add_option("-o,--output", options->output,
                  "Write here instead of standard output; the file appears only once complete.");
  cmd->add_flag("--fail-on-ungrouped", options->failOnUngrouped,
                "Exit with 1 when some record was not grouped.");
  add_tier_set_options(*cmd, options->tierSet);
  cmd->footer(
      "Exit codes: 0 all input read and all output written, whatever the records' statuses "
      "(1 with --fail-on-ungrouped when some record was not grouped); 2 fatal error (bad "
      "arguments, a tier-table set refused, unreadable input, unwritable output, no record on "
      "the --line asked for), no output file written.");
  return {cmd, [options] { return run_explain(*options); }};
}

}  // namespace cmg290::cli
