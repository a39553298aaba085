// The subcommands of `cmg290 tables`, each in its own file. Each adds
// itself to the `tables` command and returns the function that runs it.
#pragma once

#include <functional>

namespace CLI {
class App;
}

namespace cmg290::cli {

std::function<int()> add_tables_check(CLI::App& tables);
std::function<int()> add_tables_export(CLI::App& tables);
std::function<int()> add_tables_import(CLI::App& tables);
std::function<int()> add_tables_diff(CLI::App& tables);

}  // namespace cmg290::cli
