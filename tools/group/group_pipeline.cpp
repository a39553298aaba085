#include "group_pipeline.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "chunk_pipeline.h"
#include "exit_codes.h"
#include "group_summary.h"
#include "group_tally.h"
#include "progress.h"
#include "shared/output_file.h"
#include "shared/record_inputs.h"

namespace cmg290::cli {

using batch::Clock;
using batch::Input;
using batch::open_inputs;
using batch::Pipeline;
using batch::print_summary;
using batch::Progress;
using batch::Tally;

int run_group(const GroupOptions& options) {
  const auto start = Clock::now();
  // Before anything is opened: a refused set leaves every file as it was.
  std::shared_ptr<const TierSet> set;
  if (const int refused = load_tier_set(options.tierSet, set); refused != kExitClean)
    return refused;
  const SetGrouper grouper(set);

  std::vector<std::string> names = options.inputs;
  if (names.empty()) names.push_back("-");

  std::vector<std::unique_ptr<Input>> inputs;
  std::string error;
  if (!open_inputs(names, inputs, error)) return fatal(error);

  RowLayout layout;
  layout.format = options.format;
  if (names.size() > 1) layout.files = names;
  layout.withId = options.withId;
  layout.idStart = options.idStart;
  layout.idLength = options.idLength;
  layout.tierSet = set.get();
  layout.edits = options.edits;
  const RowFormatter formatter(std::move(layout));

  OutputFile output;
  if (!output.open(options.output)) return fatal(output.error());
  if (const std::string refused = output_is_input(inputs, output); !refused.empty()) {
    return fatal(refused);
  }

  std::uint64_t totalBytes = 0;
  for (const auto& in : inputs) {
    if (!in->regular) {
      totalBytes = 0;
      break;
    }
    totalBytes += in->size;
  }
  Progress progress(!options.quiet && isatty(STDERR_FILENO), totalBytes, start);

  Pipeline pipeline(options, formatter, grouper, inputs, output, progress);
  pipeline.run();
  progress.clear();
  // A fault of the run itself (reading, memory) comes first; the output's
  // own is reported by finish().
  if (!pipeline.error().empty()) return fatal(pipeline.error());
  const Tally& t = pipeline.tally();
  const bool flagged = (options.failOnUngrouped && t.grouped() != t.records) ||
                       (options.failOnPlaceholder && t.placeholderTiers > 0);
  const int code = output.finish(flagged ? kExitFlagged : kExitClean);
  if (output.committed() && !options.quiet) {
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    print_summary(t, inputs.size(), seconds, *set, options.edits);
  }
  return code;
}

}  // namespace cmg290::cli
