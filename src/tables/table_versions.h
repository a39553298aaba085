// The table versions (table_versions.def): the one home of their labels,
// date ranges, scan widths and code families.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace cmg290::detail {

enum class TableVersion {
  None,
#define TABLE_VERSION(id, label, from, to, cells, family) id,
#include "tables/table_versions.def"
#undef TABLE_VERSION
};

enum class CodeFamily { Icd9, Icd10 };

struct TableVersionInfo {
  TableVersion id;
  const char* label;  // four characters
  std::int64_t from, to;
  int cells;  // comorbid cells the tier search compares: 10, or 25 up to a "^"
  CodeFamily family;
};

inline constexpr std::int64_t kOpenEnded = INT64_MAX;

inline constexpr TableVersionInfo kTableVersions[] = {
#define TABLE_VERSION(id, label, from, to, cells, family) \
  {TableVersion::id, label, from, to, cells, CodeFamily::family},
#include "tables/table_versions.def"
#undef TABLE_VERSION
};

// The row of a version; the version must not be None.
constexpr const TableVersionInfo& table_version_info(TableVersion version) {
  return kTableVersions[static_cast<int>(version) - 1];
}

// True when the tier search takes cells 1 to 25 up to the first "^" rather
// than cells 1 to 10.
constexpr bool full_scan(TableVersion version) {
  return version != TableVersion::None && table_version_info(version).cells == 25;
}

constexpr bool table_versions_in_order() {
  for (std::size_t i = 0; i < std::size(kTableVersions); ++i) {
    const TableVersionInfo& v = kTableVersions[i];
    if (static_cast<std::size_t>(v.id) != i + 1 || v.from > v.to) return false;
    if (v.cells != 10 && v.cells != 25) return false;
    if (i > 0 && v.from <= kTableVersions[i - 1].to) return false;
  }
  return true;
}
static_assert(table_versions_in_order(),
              "table versions in enum order, ranges ascending without overlap, 10 or 25 cells");

}  // namespace cmg290::detail
