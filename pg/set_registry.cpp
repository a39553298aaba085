#include "set_registry.h"

#include <algorithm>
#include <cstdio>
#include <new>

namespace cmg290::pg {

namespace {

// A line of a message: the server sends messages in its own encoding, so
// bytes of a file that may be in any encoding are written as \xNN. A line
// that quotes a long cell is cut after kLongestLine bytes of it.
void append_printable(std::string& out, const std::string& text) {
  const std::size_t start = out.size();
  for (const char c : text) {
    if (out.size() - start >= kLongestLine) {
      out += "...";
      return;
    }
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7f) {
      out += c;
    } else {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
      out += escaped;
    }
  }
}

}  // namespace

std::string detail_text(const std::vector<std::string>& lines) {
  std::string out;
  const std::size_t shown = std::min(lines.size(), static_cast<std::size_t>(kShownLines));
  for (std::size_t i = 0; i < shown; ++i) {
    if (i > 0) out += '\n';
    append_printable(out, lines[i]);
  }
  if (lines.size() > shown) out += "\n... and " + std::to_string(lines.size() - shown) + " more";
  return out;
}

const LoadedSet* SetRegistry::load(const char* directory) noexcept {
  try {
    auto entry = std::make_unique<LoadedSet>();
    entry->directory = directory;
    std::vector<std::string> problems;
    if (entry->directory.empty()) {
      entry->loaded = true;
    } else if (entry->directory.front() != '/') {
      problems.push_back(entry->directory + ": not an absolute path");
    } else {
      std::vector<cmg290::TierSetProblem> found;
      entry->set = cmg290::TierSet::load(entry->directory, found,
                                         {.allowDeviations = true, .expectedSha256 = {}});
      for (const cmg290::TierSetProblem& p : found) problems.push_back(cmg290::problem_text(p));
      entry->loaded = entry->set != nullptr && problems.empty();
      if (!entry->loaded) entry->set.reset();
      if (entry->loaded) problems = entry->set->deviations();
    }
    entry->problems = static_cast<int>(problems.size());
    entry->detail = detail_text(problems);
    entry->id = next_id_++;
    entries_.push_back(std::move(entry));
    return entries_.back().get();
  } catch (...) {
    return nullptr;
  }
}

const LoadedSet* SetRegistry::find(std::uint64_t id) const noexcept {
  for (const auto& entry : entries_)
    if (entry->id == id) return entry.get();
  return nullptr;
}

void SetRegistry::keep_only(const std::vector<std::uint64_t>& live) noexcept {
  std::erase_if(entries_, [&live](const std::unique_ptr<LoadedSet>& entry) {
    return std::find(live.begin(), live.end(), entry->id) == live.end();
  });
}

}  // namespace cmg290::pg
