#include "group_pipeline.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "chunk_pipeline.h"
#include "group_inputs.h"
#include "group_summary.h"
#include "group_tally.h"
#include "output_file.h"
#include "progress.h"

namespace cmg290::cli {

using batch::Clock;
using batch::Input;
using batch::open_inputs;
using batch::Outcome;
using batch::Pipeline;
using batch::print_summary;
using batch::Progress;
using batch::Tally;

int run_group(const GroupOptions& options) {
  const auto start = Clock::now();
  std::vector<std::string> names = options.inputs;
  if (names.empty()) names.push_back("-");

  std::vector<std::unique_ptr<Input>> inputs;
  std::string error;
  if (!open_inputs(names, inputs, error)) {
    std::fprintf(stderr, "cmg290: %s\n", error.c_str());
    return kExitFatal;
  }

  RowLayout layout;
  layout.format = options.format;
  if (names.size() > 1) layout.files = names;
  layout.withId = options.withId;
  layout.idStart = options.idStart;
  layout.idLength = options.idLength;
  const RowFormatter formatter(std::move(layout));

  OutputFile output;
  if (!output.open(options.output)) {
    std::fprintf(stderr, "cmg290: %s\n", output.error().c_str());
    return kExitFatal;
  }
  if (const std::string refused = output_is_input(inputs, output); !refused.empty()) {
    std::fprintf(stderr, "cmg290: %s\n", refused.c_str());
    return kExitFatal;
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

  Pipeline pipeline(options, formatter, inputs, output, progress);
  Outcome outcome = pipeline.run();
  if (outcome == Outcome::Done) {
    switch (output.commit()) {
      case WriteStatus::Ok:
        break;
      case WriteStatus::BrokenPipe:
        outcome = Outcome::BrokenPipe;
        break;
      case WriteStatus::Failed:
        outcome = Outcome::Failed;
        break;
    }
  }
  progress.clear();
  if (outcome == Outcome::BrokenPipe) {
    // Whoever read our output has all they wanted (`| head`).
    output.abandon();
    return kExitClean;
  }
  if (outcome == Outcome::Failed) {
    output.abandon();
    const std::string message = pipeline.error().empty() ? output.error() : pipeline.error();
    std::fprintf(stderr, "cmg290: %s\n", message.c_str());
    return kExitFatal;
  }

  const Tally& t = pipeline.tally();
  if (!options.quiet) {
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    print_summary(t, inputs.size(), seconds);
  }
  return options.failOnUngrouped && t.grouped() != t.records ? kExitRejected : kExitClean;
}

}  // namespace cmg290::cli
