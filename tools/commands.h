// The subcommands of the cmg290 tool. Each one lives in its own file, adds
// itself and its options to the application and hands back the function
// that runs it once the command line has chosen it.
#pragma once

#include <functional>

namespace CLI {
class App;
}

namespace cmg290::cli {

struct Command {
  CLI::App* parser;          // the subcommand's options
  std::function<int()> run;  // runs it; returns the exit code
};

Command add_group_command(CLI::App& app);
Command add_explain_command(CLI::App& app);
Command add_build_command(CLI::App& app);
Command add_sample_command(CLI::App& app);
Command add_tables_command(CLI::App& app);
Command add_serve_command(CLI::App& app);
Command add_compare_command(CLI::App& app);
Command add_report_command(CLI::App& app);

}  // namespace cmg290::cli
