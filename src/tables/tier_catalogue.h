// The catalogue of the comorbidity tier lists (cmg290/tier_lists.def) as
// data: each list's files, kind, the table versions it serves, its entry
// count and cell widths. Everything that names a list's facts takes them
// from here, and the searches learn from here which lists serve a version.
#pragma once

#include <array>
#include <cstddef>
#include <iterator>
#include <string_view>

#include "cmg290/tier_set.h"
#include "tables/table_versions.h"

namespace cmg290::tables {

enum class ListKind {
  kEarlySingle,  // 2.40, 2.50, 2.60: ICD-9-CM codes, "03,05"
  kLateSingle,   // 2.82, 2.90: ICD-10-CM codes filled with "^", "03, 05"
  kPair,         // 2.82, 2.90 pair lists
  kSecondary,    // 2.82, 2.90 secondary lists, with Eflags
};

struct TierListInfo {
  TierSetList list;
  const char* token;    // "240", "281s1", "Pair": kCmd240Rows, CmdICD240
  const char* file;     // "icd240.def", in src/tables/tier/
  const char* setFile;  // "single-2.40.csv"
  ListKind kind;
  detail::TableVersion first, last;  // the versions it serves, both included
  int entries;
  int codeWidth, tierWidth, ricsWidth;  // terminator included
  const char* codeRow0;
  const char* ricsRow0;

  constexpr int rows() const { return entries + 1; }
  constexpr bool serves(detail::TableVersion v) const { return v >= first && v <= last; }
  constexpr bool single() const {
    return kind == ListKind::kEarlySingle || kind == ListKind::kLateSingle;
  }
};

// The version of a label of table_versions.def; None for any other text.
constexpr detail::TableVersion version_of_label(std::string_view label) {
  for (const detail::TableVersionInfo& v : detail::kTableVersions) {
    if (label == v.label) return v.id;
  }
  return detail::TableVersion::None;
}

inline constexpr TierListInfo kTierLists[] = {
#define CMG290_TIER_LIST(id, token, file, setFile, kind, first, last, entries, codeWidth, \
                         tierWidth, ricsWidth, codeRow0, ricsRow0)                        \
  {TierSetList::id,                                                                       \
   #token,                                                                                \
   file,                                                                                  \
   setFile,                                                                               \
   ListKind::k##kind,                                                                     \
   version_of_label(first),                                                               \
   version_of_label(last),                                                                \
   entries,                                                                               \
   codeWidth,                                                                             \
   tierWidth,                                                                             \
   ricsWidth,                                                                             \
   codeRow0,                                                                              \
   ricsRow0},
#include "cmg290/tier_lists.def"
#undef CMG290_TIER_LIST
};

inline constexpr int kTierListCount = static_cast<int>(std::size(kTierLists));

constexpr const TierListInfo& tier_list(TierSetList list) {
  return kTierLists[static_cast<int>(list)];
}

// The single-code list that serves the version (not None).
constexpr TierSetList single_list_of(detail::TableVersion version) {
  for (const TierListInfo& l : kTierLists) {
    if (l.single() && l.serves(version)) return l.list;
  }
  return TierSetList::Single240;  // never reached: checked below
}

// The version's search goes on to the pair and the secondary list when the
// single-code list finds nothing.
constexpr bool has_pair_stage(detail::TableVersion version) {
  for (const TierListInfo& l : kTierLists) {
    if (l.kind == ListKind::kPair && l.serves(version)) return true;
  }
  return false;
}

// The lists each table version's search goes through, by version (None
// gets the first single-code list and no pair stage): looked up per record
// as a switch would be.
struct VersionLists {
  TierSetList single;
  bool pairStage;
};
inline constexpr auto kVersionLists = [] {
  std::array<VersionLists, std::size(detail::kTableVersions) + 1> out{};
  for (const detail::TableVersionInfo& v : detail::kTableVersions) {
    out[static_cast<std::size_t>(v.id)] = {single_list_of(v.id), has_pair_stage(v.id)};
  }
  return out;
}();

constexpr const VersionLists& lists_of(detail::TableVersion version) {
  return kVersionLists[static_cast<std::size_t>(version)];
}

constexpr bool tier_lists_sound() {
  int pairs = 0, secondaries = 0;
  for (int i = 0; i < kTierListCount; ++i) {
    const TierListInfo& l = kTierLists[i];
    if (static_cast<int>(l.list) != i || l.entries < 1) return false;
    if (l.first == detail::TableVersion::None || l.last == detail::TableVersion::None ||
        l.first > l.last) {
      return false;
    }
    pairs += l.kind == ListKind::kPair;
    secondaries += l.kind == ListKind::kSecondary;
  }
  if (pairs != 1 || secondaries != 1) return false;
  for (const detail::TableVersionInfo& v : detail::kTableVersions) {
    int singles = 0;
    bool pair = false, secondary = false;
    for (const TierListInfo& l : kTierLists) {
      if (!l.serves(v.id)) continue;
      singles += l.single();
      pair = pair || l.kind == ListKind::kPair;
      secondary = secondary || l.kind == ListKind::kSecondary;
      // A list's codes are of the version's family.
      if ((l.kind == ListKind::kEarlySingle) != (v.family == detail::CodeFamily::Icd9)) {
        return false;
      }
    }
    if (singles != 1 || pair != secondary) return false;
  }
  return true;
}
static_assert(tier_lists_sound(),
              "tier lists in TierSetList order, known versions, one single-code list per version, "
              "the pair and the secondary list together, codes of the version's family");

}  // namespace cmg290::tables
