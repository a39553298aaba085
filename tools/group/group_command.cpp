// cmg290 group: groups files of assessment records, one record per line.
#include <CLI/CLI.hpp>

#include <charconv>
#include <memory>
#include <string>

#include "commands.h"
#include "exit_codes.h"
#include "group_pipeline.h"
#include "record_id.h"
#include "shared/thread_count.h"
#include "shared/tier_set_options.h"

namespace cmg290::cli {

namespace {

// Limits of --id: any stretch of a line within its first 64 KiB.
constexpr std::size_t kMaxIdEnd = 65536;
constexpr std::size_t kMaxIdLength = 1024;

bool parse_size(std::string_view text, std::size_t& value) {
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

// Checks "START:LENGTH" and returns an error text, or "" when it is fine.
std::string check_id_option(const std::string& text) {
  const auto colon = text.find(':');
  std::size_t start = 0, length = 0;
  if (colon == std::string::npos || !parse_size(std::string_view(text).substr(0, colon), start) ||
      !parse_size(std::string_view(text).substr(colon + 1), length)) {
    return "wants START:LENGTH, two numbers, as in 12:10";
  }
  return check_id_range(start, length, kMaxIdLength, kMaxIdEnd);
}

}  // namespace

Command add_group_command(CLI::App& app) {
  auto options = std::make_shared<GroupOptions>();
  auto format = std::make_shared<std::string>("csv");
  auto id = std::make_shared<std::string>();
  options->threads = default_threads();

  CLI::App* cmd = app.add_subcommand(
      "group", "Group records, one per line, and write one result per record in input order.");
  cmd->add_option("input", options->inputs,
                  "Record files; '-' or none reads standard input. With more than one, each "
                  "result names its file and line numbers start again at 1 in every file.");
  cmd->add_option("-o,--output", options->output,
                  "Write here instead of standard output. A file is replaced only once it is "
                  "complete; on failure no partial file is left.");
  cmd->add_option("-f,--format", *format, "Output format: csv (with a header), jsonl or fixed.")
      ->check(CLI::IsMember({"csv", "jsonl", "fixed"}))
      ->default_str("csv");
  cmd->add_option("-j,--threads", options->threads, "Grouping threads (default: all cores).")
      ->check(CLI::Range(1u, kMaxThreads))
      ->default_str(std::to_string(options->threads));
  cmd->add_option("--id", *id,
                  "Copy record positions START to START+LENGTH-1 into each result as its id, to "
                  "join results back to records.")
      ->type_name("START:LENGTH")
      ->check(CLI::Validator([](const std::string& text) { return check_id_option(text); }, ""));
  cmd->add_flag("--strict", options->strict,
                "Reject lines shorter than 1251 characters (status -1) instead of reading the "
                "missing positions as blanks.");
  cmd->add_flag("-q,--quiet", options->quiet, "No summary and no progress on standard error.");
  cmd->add_flag("--fail-on-ungrouped", options->failOnUngrouped,
                "Exit with 1 when some record was not grouped (status 1 to 9) or was rejected by "
                "--strict.");
  add_tier_set_options(*cmd, options->tierSet);
  cmd->add_flag("--edits", options->edits,
                "Name each record's data-quality faults beside its result (docs/edits.md): CSV "
                "gets a last column edits (the codes joined with ';'), JSON Lines a member "
                "edits (an array of objects); the summary counts records per edit code. Not "
                "with -f fixed.");
  cmd->add_flag("--fail-on-placeholder", options->failOnPlaceholder,
                "Exit with 1 when some record got its tier letter from a placeholder row (the "
                "summary counts them), after writing the output in full.");
  cmd->footer(
      "Exit codes: 0 all input read and all results written, whatever the records' statuses; "
      "1 with --fail-on-ungrouped, some record not grouped (status 1 to 9) or rejected by "
      "--strict, or with --fail-on-placeholder, some tier letter from a placeholder row (the "
      "output is written in full all the same); 2 fatal error (bad arguments, a tier-table set "
      "refused, unreadable input, unwritable output), no output file written. A reader that "
      "closes the pipe early ends the run quietly with 0.");

  return {cmd, [options, format, id] {
            if (*format == "jsonl") {
              options->format = Format::Jsonl;
            } else if (*format == "fixed") {
              if (options->edits) {
                return fatal(
                    "--edits needs -f csv or -f jsonl: the fixed-width format has no column "
                    "for edits");
              }
              options->format = Format::Fixed;
            } else {
              options->format = Format::Csv;
            }
            if (!id->empty()) {
              const auto colon = id->find(':');
              parse_size(std::string_view(*id).substr(0, colon), options->idStart);
              parse_size(std::string_view(*id).substr(colon + 1), options->idLength);
              options->idStart -= 1;
              options->withId = true;
            }
            return run_group(*options);
          }};
}

}  // namespace cmg290::cli
