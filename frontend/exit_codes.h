// The exit codes of every cmg290 subcommand, as docs/command.md's "Exit
// codes" and the manual page's EXIT STATUS describe them.
#pragma once

#include <cstdio>
#include <string>

namespace cmg290::cli {

// All input read and all output written, whatever the records' statuses;
// also when the reader of a pipe stops early (`| head`).
inline constexpr int kExitClean = 0;
// The run went through but found what the caller asked to hear of: a
// record not grouped (--fail-on-ungrouped), violations of the tier tables.
inline constexpr int kExitFlagged = 1;
// Bad arguments, input that cannot be read, output that cannot be written:
// one line on standard error, and no output file left behind.
inline constexpr int kExitFatal = 2;
// cmg290 serve, stopped by a signal: requests still going after the grace
// period were cut; a second signal came during the grace period.
inline constexpr int kExitServeCut = 3;
inline constexpr int kExitServeStoppedAtOnce = 4;

// Reports a fatal error as "cmg290: MESSAGE" on standard error and returns
// kExitFatal.
inline int fatal(const std::string& message) {
  std::fprintf(stderr, "cmg290: %s\n", message.c_str());
  return kExitFatal;
}

}  // namespace cmg290::cli
