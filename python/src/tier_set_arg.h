// The tier_set argument of group, group_frame and explain: a cmg290.TierSet
// (the native class of tier_set_binding.cpp) or None.
#pragma once

#include <pybind11/pybind11.h>

#include <memory>

#include "cmg290/tier_set.h"

namespace cmg290::python {

// The set a tier_set argument names; null for None. Throws TypeError for
// anything else, and for a TierSet made by TierSet.__new__ alone.
std::shared_ptr<const cmg290::TierSet> tier_set_argument(const pybind11::handle& tierSet);

// The set to group with: null where the compiled-in path serves (None, or
// the compiled-in set itself, which groups the same), else the set.
inline const cmg290::TierSet* grouping_set(const std::shared_ptr<const cmg290::TierSet>& set) {
  return set != nullptr && !set->is_compiled() ? set.get() : nullptr;
}

}  // namespace cmg290::python
