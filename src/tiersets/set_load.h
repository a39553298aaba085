// Loading a tier-table set: from the texts of its files (what the fuzz
// target drives) and from a directory.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cmg290/tier_set.h"
#include "tiersets/set_data.h"

namespace cmg290::tiersets {

inline constexpr const char* kManifestFile = "manifest.txt";

// Largest file a set may hold; a larger one is refused unread.
inline constexpr std::uintmax_t kMaxFileBytes = 8u << 20;

// A file of a set: its name in the directory and its bytes.
struct SetFile {
  std::string name;
  std::string text;
};

// What a file of this name is when an editor or a spreadsheet leaves it in
// a set's directory (a lock file, a backup, a hidden file), which loading
// passes over with a note; null for any other name.
const char* left_by_editor(std::string_view name);

// Builds a set from its files. `where` is the directory the problems name
// the files under (empty: the bare file names), `defaultName` the set's name
// when no manifest names it. Null with every problem found on a fault.
std::unique_ptr<SetData> load_files(const std::vector<SetFile>& files, const std::string& where,
                                    const std::string& defaultName, const TierSetOptions& options,
                                    std::vector<TierSetProblem>& problems);

}  // namespace cmg290::tiersets
