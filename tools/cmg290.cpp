// cmg290: the command-line tool of the grouper.
#include <CLI/CLI.hpp>

#include <string>
#include <vector>

#include "cmg290/cmg290.h"
#include "commands.h"
#include "output_file.h"

#ifndef CMG290_PROJECT_VERSION
#define CMG290_PROJECT_VERSION "unknown"
#endif

int main(int argc, char** argv) {
  using namespace cmg290::cli;
  constexpr int kExitUsage = 2;

  CLI::App app("cmg290: case-mix grouper for inpatient rehabilitation assessments.", "cmg290");
  app.set_version_flag("--version", std::string("cmg290 ") + CMG290_PROJECT_VERSION + " (grouper " +
                                        std::string(cmg290::kGrouperVersion) + ")");
  app.require_subcommand(1);

  const std::vector<Command> commands = {add_group_command(app), add_sample_command(app)};

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : kExitUsage;
  }

  install_signal_handlers();
  for (const Command& c : commands) {
    if (c.parser->parsed()) return c.run();
  }
  return kExitUsage;
}
