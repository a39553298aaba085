// cmg290 report: a batch's figures as one self-contained HTML page, and as
// JSON with --json.
#include <CLI/CLI.hpp>

#include <memory>
#include <string>
#include <utility>

#include "commands.h"
#include "exit_codes.h"
#include "report/html_writer.h"
#include "report/json_writer.h"
#include "report/report_build.h"
#include "shared/output_file.h"
#include "shared/record_inputs.h"
#include "shared/thread_count.h"
#include "shared/tier_set_options.h"

namespace cmg290::cli {

namespace {

struct ReportOptions {
  std::vector<std::string> inputs;
  std::string output;
  std::string json;
  std::string weights;
  TierSetChoice tierSet;
  unsigned threads = 1;
  bool allowEmpty = false;
  bool quiet = false;
};

int run_report(const ReportOptions& o) {
  if (o.output == o.json && o.output != "") {
    return fatal("the report and its JSON cannot both go to " + o.output);
  }
  // Before anything is opened: a refused set or weights file leaves every
  // file as it was.
  std::shared_ptr<const TierSet> set;
  if (const int refused = load_tier_set(o.tierSet, set); refused != kExitClean) return refused;
  auto table = std::make_unique<report::WeightTable>();
  report::WeightsInUse weights;
  if (!o.weights.empty()) {
    if (const int refused =
            report::load_weights_file(o.weights, report::required_tiers(*set), *table, weights);
        refused != kExitClean) {
      return refused;
    }
  }

  std::vector<std::string> names = o.inputs;
  if (names.empty()) names.push_back("-");
  std::vector<std::unique_ptr<batch::Input>> inputs;
  std::string error;
  if (!batch::open_inputs(names, inputs, error)) return fatal(error);

  // Each output is created, and is none of the inputs, before the inputs
  // are read; both stay temporary files until both are complete.
  OutputFile html;
  OutputFile json;
  for (auto [path, out] : {std::pair{&o.output, &html}, std::pair{&o.json, &json}}) {
    if (out == &json && o.json.empty()) continue;
    if (!out->open(*path)) return fatal(out->error());
    if (const std::string refused = batch::output_is_input(inputs, *out); !refused.empty()) {
      return fatal(refused);
    }
  }

  report::Figures figures;
  if (!report::build_figures(inputs, *set, weights.table != nullptr ? &weights : nullptr, o.threads,
                             figures, error)) {
    return fatal(error);
  }
  if (figures.records == 0 && !o.allowEmpty) {
    return fatal(
        "no records in the input: nothing to report (--allow-empty writes a report of "
        "none)");
  }
  if (!o.json.empty()) json.write(report::report_json(figures));
  html.write(report::report_html(figures));
  OutputFile* const outputs[] = {&html, o.json.empty() ? nullptr : &json};
  const int code = finish_together(outputs, kExitClean);
  if (html.committed() && !o.quiet) {
    std::fprintf(stderr, "cmg290 report: %llu records from %zu input%s, report in %s\n",
                 static_cast<unsigned long long>(figures.records), inputs.size(),
                 inputs.size() == 1 ? "" : "s", html.name().c_str());
  }
  return code;
}

}  // namespace

Command add_report_command(CLI::App& app) {
  auto o = std::make_shared<ReportOptions>();
  o->threads = default_threads();

  CLI::App* cmd = app.add_subcommand(
      "report",
      "Group records and write the batch's figures as one self-contained HTML page "
      "(docs/report.md).");
  cmd->add_option("input", o->inputs,
                  "Record files, plain or gzip; '-' or none reads standard input.");
  cmd->add_option("-o,--output", o->output,
                  "The HTML page; replaced only once it is complete ('-': standard output).")
      ->required();
  cmd->add_option("--json", o->json, "Also write every figure of the report as JSON here.");
  cmd->add_option("--weights", o->weights,
                  "Relative weights (CSV: cmg,tier,weight,average_los) for the case-mix index; "
                  "a faulty file is refused before any input is read.");
  add_tier_set_options(*cmd, o->tierSet);
  cmd->add_option("-j,--threads", o->threads, "Grouping threads (default: all cores).")
      ->check(CLI::Range(1u, kMaxThreads))
      ->default_str(std::to_string(o->threads));
  cmd->add_flag("--allow-empty", o->allowEmpty,
                "Write a report of no records when the input holds none, instead of refusing.");
  cmd->add_flag("-q,--quiet", o->quiet, "No line on standard error once the report is written.");
  cmd->footer(
      "Exit codes: 0 the report (and its JSON) written; 2 fatal error (bad arguments, a "
      "tier-table set or weights file refused, unreadable input, no records without "
      "--allow-empty, unwritable output), no output file written.");
  return {cmd, [o] { return run_report(*o); }};
}

}  // namespace cmg290::cli
