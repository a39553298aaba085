// The subcommands of `cmg290 tables`, each in its own file. Each adds
// itself to the `tables` command and returns the function that runs it.
#pragma once

#include <functional>

namespace CLI {
class App;
}

namespace cmg290::cli {

// Exit codes of the tables subcommands.
inline constexpr int kTablesSound = 0;
inline constexpr int kTablesViolations = 1;  // the table checks found faults
inline constexpr int kTablesFatal = 2;       // bad arguments, unreadable or faulty input, no output

std::function<int()> add_tables_export(CLI::App& tables);
std::function<int()> add_tables_import(CLI::App& tables);

}  // namespace cmg290::cli
