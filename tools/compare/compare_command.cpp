// cmg290 compare: groups every record with two tier-table sets, the old and
// the new, and reports how the results differ from old to new, the impact
// of a change of the lists.
#include <CLI/CLI.hpp>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cmg290/tier_set.h"
#include "commands.h"
#include "compare_figures.h"
#include "compare_report.h"
#include "compare_scan.h"
#include "exit_codes.h"
#include "report/change_figures.h"
#include "report/report_build.h"
#include "shared/output_file.h"
#include "shared/record_inputs.h"
#include "shared/thread_count.h"
#include "shared/tier_set_options.h"

namespace cmg290::cli {

namespace {

struct CompareOptions {
  // The new set, or the old then the new; with one, the compiled-in set is
  // the old one.
  TierSetChoices sets;
  std::vector<std::string> inputs;
  std::string changed;     // --changed FILE or "-"
  std::string report;      // --report FILE: the page of the change
  std::string reportJson;  // --report-json FILE: its figures as JSON
  std::string weights;     // --weights FILE: for the case-mix index
  bool failOnChange = false;
  bool quiet = false;
  std::string format = "text";
  std::size_t top = 20;
  unsigned threads = 1;
};

int run_compare(const CompareOptions& o) {
  const auto start = std::chrono::steady_clock::now();
  const std::size_t sets = o.sets.directories.size();
  if (sets == 0 || sets > 2) {
    return fatal(
        "compare takes --tier-tables once (the new set, the compiled-in set being the old) or "
        "twice (the old set, then the new)");
  }
  // At most one output on standard output, and no two to one file.
  const std::string* named[] = {&o.changed, &o.report, &o.reportJson};
  for (std::size_t i = 0; i < 3; ++i) {
    for (std::size_t k = i + 1; k < 3; ++k) {
      if (!named[i]->empty() && *named[i] == *named[k]) {
        return fatal("two outputs cannot both go to " + *named[i]);
      }
    }
  }
  const bool stdoutTaken = o.changed == "-" || o.report == "-" || o.reportJson == "-";
  if (!o.sets.pins.empty() && o.sets.pins.size() != sets) {
    return fatal("--tier-tables-sha256 is given once for each --tier-tables, in the same order");
  }
  // With one set, the old is the compiled-in set (no directory).
  std::shared_ptr<const TierSet> a;
  std::shared_ptr<const TierSet> b;
  if (const int refused =
          load_tier_set(sets == 2 ? o.sets.choice(0) : TierSetChoice{}, a, {.side = "old"});
      refused != kExitClean) {
    return refused;
  }
  if (const int refused = load_tier_set(o.sets.choice(sets - 1), b, {.side = "new"});
      refused != kExitClean) {
    return refused;
  }

  // The weights give every tier letter a record can get with either set.
  auto table = std::make_unique<report::WeightTable>();
  report::WeightsInUse weights;
  if (!o.weights.empty()) {
    report::ReachableTiers required = report::required_tiers(*a);
    const report::ReachableTiers withNew = report::required_tiers(*b);
    for (std::size_t r = 0; r < required.size(); ++r) {
      for (std::size_t t = 0; t < required[r].size(); ++t) required[r][t] |= withNew[r][t];
    }
    if (const int refused = report::load_weights_file(o.weights, required, *table, weights);
        refused != kExitClean) {
      return refused;
    }
  }

  std::vector<std::string> names = o.inputs;
  if (names.empty()) names.push_back("-");
  std::vector<std::unique_ptr<batch::Input>> inputs;
  std::string error;
  if (!batch::open_inputs(names, inputs, error)) return fatal(error);

  // Every output is created, and is none of the inputs, before the inputs
  // are read; all stay temporary files until all are complete.
  OutputFile changes, page, json;
  const std::pair<const std::string*, OutputFile*> outputs[] = {
      {&o.changed, &changes}, {&o.report, &page}, {&o.reportJson, &json}};
  for (const auto& [path, out] : outputs) {
    if (path->empty()) continue;
    if (!out->open(*path)) return fatal(out->error());
    if (const std::string refused = batch::output_is_input(inputs, *out); !refused.empty()) {
      return fatal(refused);
    }
  }
  const bool wantChanges = !o.changed.empty();
  if (wantChanges) changes.write(compare::changes_header());

  compare::ScanOptions scanOptions;
  scanOptions.threads = o.threads;
  scanOptions.wantChanges = wantChanges;
  scanOptions.weights = weights.table;
  compare::Counts counts;
  const bool complete = compare::scan(
      inputs, *a, *b, scanOptions,
      [&](const compare::Change& c) {
        return changes.write(compare::change_row(c, inputs[c.file]->name, *a, *b)) ==
               WriteStatus::Ok;
      },
      counts, error);
  if (!error.empty()) return fatal(error);  // a pending --changed file is removed
  const int done = o.failOnChange && counts.cmgChanged > 0 ? kExitFlagged : kExitClean;
  if (complete && (!o.report.empty() || !o.reportJson.empty())) {
    const report::ChangeFigures figures = compare::change_figures(
        counts, inputs, *a, *b, weights.table != nullptr ? &weights : nullptr);
    if (!o.report.empty()) page.write(report::change_html(figures));
    if (!o.reportJson.empty()) json.write(report::change_json(figures));
  }
  OutputFile* ends[3] = {};
  for (std::size_t i = 0; i < 3; ++i) {
    if (!outputs[i].first->empty()) ends[i] = outputs[i].second;
  }
  const int code = finish_together(ends, done);
  for (const OutputFile* out : ends) {
    if (out != nullptr && !out->committed()) return code;
  }
  if (!complete) return kExitFatal;

  // The report goes to standard output, unless an output goes there.
  const std::string report = o.format == "json" ? compare::report_json(counts, *a, *b)
                                                : compare::report_text(counts, *a, *b, o.top);
  std::FILE* to = stdoutTaken ? stderr : stdout;
  std::fwrite(report.data(), 1, report.size(), to);
  if (std::fflush(to) != 0 && to == stdout) return kExitClean;  // a reader that went away
  if (!o.quiet) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fprintf(
        stderr, "cmg290: compared %s records in %.2f s (%s records/s)\n",
        compare::with_commas(counts.records).c_str(), seconds,
        compare::with_commas(static_cast<std::uint64_t>(seconds > 0 ? counts.records / seconds : 0))
            .c_str());
  }
  return done;
}

}  // namespace

Command add_compare_command(CLI::App& app) {
  auto o = std::make_shared<CompareOptions>();
  o->threads = default_threads();
  CLI::App* cmd = app.add_subcommand(
      "compare",
      "Group every record with two comorbidity tier-table sets, the old and the new, and report "
      "from old to new how many records changed CMG, the records of each tier letter, RIC and "
      "CMG, and the transitions (A0101 -> D0101  1,234). A record's CMG changes exactly when "
      "its tier letter does.");
  cmd->add_option("input", o->inputs,
                  "Record files; '-' or none reads standard input. Lines are read as by group.");
  add_tier_set_options(*cmd, o->sets,
                       "A tier-table set directory. Given once, the new set, compared with the "
                       "compiled-in set as the old one; given twice, the old set, then the new.");
  cmd->add_option("--changed", o->changed,
                  "Write the changed records here as CSV (file,line,table_version,cmg_old,"
                  "cmg_new,entry_old,tier_old,entry_new,tier_new,placeholder_old,"
                  "placeholder_new; an entry as FILE:LINE of its list); '-' is standard output, "
                  "and the report then goes to standard error.")
      ->type_name("FILE|-");
  cmd->add_option("--report", o->report,
                  "Also write the change as one self-contained HTML page (docs/report.md): the "
                  "sets, the tier transitions, the changes per RIC and CMG; written only once "
                  "complete ('-': standard output, and the report then goes to standard error).")
      ->type_name("FILE|-");
  cmd->add_option("--report-json", o->reportJson,
                  "Also write the page's figures as JSON (docs/report.md).")
      ->type_name("FILE|-");
  cmd->add_option("--weights", o->weights,
                  "Relative weights (CSV: cmg,tier,weight,average_los, as for report) for the "
                  "case-mix index under each set on the page; a faulty file is refused before "
                  "any input is read.");
  CLI::Option* format =
      cmd->add_option("-f,--format", o->format,
                      "text: the report for a reader; json: the whole report as one JSON "
                      "document, every transition and CMG (docs/cmg290.1).")
          ->check(CLI::IsMember({"text", "json"}))
          ->default_str("text");
  cmd->add_flag_callback(
         "--json", [o] { o->format = "json"; }, "The same as -f json.")
      ->excludes(format);
  cmd->add_option("--top", o->top,
                  "Transitions listed in the text report; the rest are summed on one line.")
      ->default_str("20");
  cmd->add_option("-j,--threads", o->threads, "Grouping threads (default: all cores).")
      ->check(CLI::Range(1u, kMaxThreads))
      ->default_str(std::to_string(o->threads));
  cmd->add_flag("--fail-on-change", o->failOnChange,
                "Exit with 1 when some record's CMG differs between the sets.");
  cmd->add_flag("-q,--quiet", o->quiet, "No timing line on standard error.");
  cmd->footer(
      "Exit codes: 0 all input read and compared, whether or not results differ (1 with "
      "--fail-on-change when some CMG differs); 2 fatal error (a set that does not load, with "
      "every problem as FILE:LINE: reason, before any input is read; bad arguments, unreadable "
      "input, an unwritable output, a weights file refused), no output file written.");
  return {cmd, [o] { return run_compare(*o); }};
}

}  // namespace cmg290::cli
