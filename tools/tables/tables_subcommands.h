// The subcommands of `cmg290 tables`, each in its own file. Each adds
// itself to the `tables` command and returns the function that runs it.
#pragma once

#include <functional>
#include <string>

namespace CLI {
class App;
}

namespace cmg290::cli {

std::function<int()> add_tables_export(CLI::App& tables);
std::function<int()> add_tables_import(CLI::App& tables);
std::function<int()> add_tables_diff(CLI::App& tables);

// `tables check DIR`: loads the set in `dir` and prints every problem as
// "FILE:LINE: reason" (exit 1), or its identity, entry counts and allowed
// deviations (exit 0); exit 2 when the directory cannot be read.
int check_tier_set(const std::string& dir, bool allowDeviations);

}  // namespace cmg290::cli
