// cmg290 compare: groups every record with two tier-table sets and reports
// how the results differ, the impact of a change of the lists.
#include <CLI/CLI.hpp>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cmg290/tier_set.h"
#include "commands.h"
#include "compare_report.h"
#include "compare_scan.h"
#include "exit_codes.h"
#include "group_inputs.h"
#include "output_file.h"

namespace cmg290::cli {

namespace {

constexpr unsigned kMaxThreads = 64;

struct CompareOptions {
  std::vector<std::string> sets;  // A, then B (default: the compiled-in set)
  std::vector<std::string> inputs;
  std::string changed;  // --changed FILE or "-"
  bool allowDeviations = false;
  bool failOnChange = false;
  bool quiet = false;
  std::size_t top = 20;
  unsigned threads = 1;
};

// Loads a set, or reports every problem as "FILE:LINE: reason" and returns
// null.
std::shared_ptr<const TierSet> load_set(const std::string& dir, bool allowDeviations) {
  std::vector<TierSetProblem> problems;
  TierSetOptions options;
  options.allowDeviations = allowDeviations;
  auto set = TierSet::load(dir, problems, options);
  if (set == nullptr) {
    for (const TierSetProblem& p : problems) std::fprintf(stderr, "%s\n", problem_text(p).c_str());
    fatal("the tier-table set " + dir + " cannot be loaded (" + std::to_string(problems.size()) +
          (problems.size() == 1 ? " problem" : " problems") + ")");
  }
  return set;
}

int run_compare(const CompareOptions& o) {
  const auto start = std::chrono::steady_clock::now();
  if (o.sets.empty() || o.sets.size() > 2) {
    return fatal(
        "compare takes --tier-tables once or twice (set A, and set B or the compiled-in "
        "set)");
  }
  const auto a = load_set(o.sets[0], o.allowDeviations);
  if (a == nullptr) return kExitFatal;
  const auto b = o.sets.size() == 2 ? load_set(o.sets[1], o.allowDeviations) : TierSet::compiled();
  if (b == nullptr) return kExitFatal;

  std::vector<std::string> names = o.inputs;
  if (names.empty()) names.push_back("-");
  std::vector<std::unique_ptr<batch::Input>> inputs;
  std::string error;
  if (!batch::open_inputs(names, inputs, error)) return fatal(error);

  OutputFile changes;
  const bool wantChanges = !o.changed.empty();
  if (wantChanges) {
    if (!changes.open(o.changed)) return fatal(changes.error());
    if (const std::string refused = batch::output_is_input(inputs, changes); !refused.empty()) {
      return fatal(refused);
    }
    changes.write(compare::changes_header());
  }

  compare::ScanOptions scanOptions;
  scanOptions.threads = o.threads;
  scanOptions.wantChanges = wantChanges;
  compare::Counts counts;
  const bool complete = compare::scan(
      inputs, *a, *b, scanOptions,
      [&](const compare::Change& c) {
        return changes.write(compare::change_row(c, inputs[c.file]->name, *a, *b)) == WriteStatus::Ok;
      },
      counts, error);
  if (!error.empty()) return fatal(error);  // a pending --changed file is removed
  const int done = o.failOnChange && counts.cmgChanged > 0 ? kExitFlagged : kExitClean;
  if (wantChanges) {
    const int code = changes.finish(done);
    if (!changes.committed()) return code;
  }
  if (!complete) return kExitFatal;

  // The report goes to standard output, unless the changed records go there.
  const std::string report = compare::report_text(counts, *a, *b, o.top);
  std::FILE* to = o.changed == "-" ? stderr : stdout;
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
  const unsigned cores = std::thread::hardware_concurrency();
  o->threads = cores == 0 ? 1 : std::min(cores, kMaxThreads);
  CLI::App* cmd = app.add_subcommand(
      "compare",
      "Group every record with two comorbidity tier-table sets, A and B, and report how many "
      "records changed tier letter and CMG, and the transitions (A0101 -> D0101  1,234).");
  cmd->add_option("input", o->inputs,
                  "Record files; '-' or none reads standard input. Lines are read as by group.");
  cmd->add_option("--tier-tables", o->sets,
                  "A tier-table set directory: the first is set A, a second set B (default: the "
                  "compiled-in set).")
      ->type_name("DIR")
      ->allow_extra_args(false)
      ->required();
  cmd->add_flag("--allow-deviations", o->allowDeviations,
                "Accept sets that deviate from the documented contents of the lists.");
  cmd->add_option("--changed", o->changed,
                  "Write the changed records here as CSV (file,line,cmg_a,cmg_b,tier_row_a,"
                  "tier_row_b,placeholder_a,placeholder_b); '-' is standard output, and the "
                  "report then goes to standard error.")
      ->type_name("FILE|-");
  cmd->add_option("--top", o->top, "Transitions listed; the rest are summed on one line.")
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
      "input, an unwritable --changed file), no --changed file left.");
  return {cmd, [o] { return run_compare(*o); }};
}

}  // namespace cmg290::cli
