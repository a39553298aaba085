// The tier-table sets a backend has loaded for the setting
// cmg290.tier_tables. Each value the setting takes is loaded once, when it
// is set, into an entry named by a number; the setting keeps that number
// (its "extra") and swaps the entry in when the value takes effect. An entry
// stays while any value the server may still take up (the current one, the
// one RESET returns to, those a transaction's end restores) names it.
//
// Nothing here calls the server: the setting's hooks (tier_setting.cpp) do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cmg290/tier_set.h"

namespace cmg290::pg {

struct LoadedSet {
  std::uint64_t id = 0;
  std::string directory;                       // as set; empty: the compiled-in lists
  std::shared_ptr<const cmg290::TierSet> set;  // null: compiled-in, or it did not load
  bool loaded = false;  // the compiled-in lists, or `set` loaded without a problem
  // Why it did not load, or else the deviations it holds: "FILE:LINE: reason"
  // lines, at most kShownLines and a line saying how many more, each cut
  // after kLongestLine bytes, bytes outside printable ASCII written as \xNN.
  // Empty when there is none.
  std::string detail;
  int problems = 0;  // how many problems or deviations `detail` stands for

  bool deviates() const { return set != nullptr && !set->deviations().empty(); }
};

inline constexpr int kShownLines = 20;
inline constexpr std::size_t kLongestLine = 300;

// `lines` as LoadedSet::detail holds them.
std::string detail_text(const std::vector<std::string>& lines);

class SetRegistry {
 public:
  // Loads the set in `directory` (deviations allowed: whether they are
  // accepted is for the caller) into a new entry, or makes one for the
  // compiled-in lists when `directory` is empty. A directory that is not an
  // absolute path, or a set that does not load, gives an entry that is not
  // `loaded`. Null only when memory ran out.
  const LoadedSet* load(const char* directory) noexcept;

  // The entry of that number; null when there is none.
  const LoadedSet* find(std::uint64_t id) const noexcept;

  // Drops every entry whose number is not in `live`.
  void keep_only(const std::vector<std::uint64_t>& live) noexcept;

  std::size_t size() const noexcept { return entries_.size(); }

 private:
  std::vector<std::unique_ptr<LoadedSet>> entries_;
  std::uint64_t next_id_ = 1;
};

}  // namespace cmg290::pg
