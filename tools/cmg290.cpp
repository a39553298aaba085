// cmg290: the command-line tool of the grouper.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cmg290/cmg290.h"
#include "commands.h"
#include "exit_codes.h"
#include "shared/output_file.h"

#ifndef CMG290_PROJECT_VERSION
#define CMG290_PROJECT_VERSION "unknown"
#endif

int main(int argc, char** argv) {
  using namespace cmg290::cli;

  CLI::App app("cmg290: case-mix grouper for inpatient rehabilitation assessments.", "cmg290");
  app.set_version_flag("--version", std::string("cmg290 ") + CMG290_PROJECT_VERSION + " (grouper " +
                                        std::string(cmg290::kGrouperVersion) + ")");
  app.require_subcommand(1);

  const std::vector<Command> commands = {add_group_command(app),   add_sample_command(app),
                                         add_tables_command(app),  add_explain_command(app),
                                         add_build_command(app),   add_serve_command(app),
                                         add_compare_command(app), add_report_command(app)};

  // CLI11 would only say that a subcommand is required.
  if (argc > 1 && argv[1][0] != '-') {
    const auto subcommands = app.get_subcommands([](CLI::App*) { return true; });
    std::string names;
    bool known = false;
    for (const CLI::App* sub : subcommands) {
      known = known || sub->get_name() == argv[1];
      names += (names.empty() ? "" : ", ") + sub->get_name();
    }
    if (!known) {
      std::fprintf(stderr, "cmg290: unknown subcommand '%s' (subcommands: %s; see cmg290 --help)\n",
                   argv[1], names.c_str());
      return kExitFatal;
    }
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? kExitClean : kExitFatal;
  }

  install_signal_handlers();
  try {
    for (const Command& c : commands) {
      if (c.parser->parsed()) return c.run();
    }
  } catch (const std::exception& e) {
    // Out of memory or no thread to be had: the stack is unwound on the
    // way here, which removes a pending temporary output file.
    return fatal(e.what());
  }
  return kExitFatal;
}
